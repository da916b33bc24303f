#pragma once

#include "platform/dialogs.h"
#include "platform/sharedmemory.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

// Records every box instead of showing it, and answers OK.
class FakeDialogs final : public Tamberlyn::Platform::Dialogs
{
public:
    Answer ask(QWidget *, const Box &box) override
    {
        boxes.append(box);
        return Answer::Ok;
    }

    QStringList texts() const
    {
        QStringList result;
        for (const Box &box : boxes)
            result.append(box.text);
        return result;
    }

    QList<Box> boxes;
};

// Shared memory that lives in this process and writes down every call, so a
// test can see which bytes were written and flushed, and in what order, and
// can make any one step fail for any one block.
class FakeSharedMemory final : public Tamberlyn::Platform::SharedMemory
{
public:
    std::unique_ptr<Tamberlyn::Platform::SharedBlock> openExisting(const QByteArray &name) override
    {
        log.append(QStringLiteral("open ") + QString::fromLatin1(name));
        if (!objects.contains(name))
            return nullptr;
        return std::make_unique<Block>(*this, name);
    }

    std::unique_ptr<Tamberlyn::Platform::SharedBlock> create(const QByteArray &name,
                                                             qsizetype size) override
    {
        log.append(QStringLiteral("create %1 %2").arg(QString::fromLatin1(name)).arg(size));
        if (failCreate.contains(name))
            return nullptr;
        objects.insert(name, QByteArray(size, '\0'));
        return std::make_unique<Block>(*this, name);
    }

    QString errorString() const override { return QStringLiteral("refused by the test"); }

    QStringList log;
    QHash<QByteArray, QByteArray> objects;
    QSet<QByteArray> failCreate;
    QSet<QByteArray> failMap;

private:
    class Block final : public Tamberlyn::Platform::SharedBlock
    {
    public:
        Block(FakeSharedMemory &memory, QByteArray name) : m_memory(memory), m_name(std::move(name)) {}

        bool map(qsizetype size) override
        {
            note(QStringLiteral("map"), size);
            if (m_memory.failMap.contains(m_name))
                return false;
            QByteArray &object = m_memory.objects[m_name];
            if (object.size() < size)
                object.append(QByteArray(size - object.size(), '\0'));
            m_size = size;
            return true;
        }
        bool isMapped() const override { return m_size > 0; }
        qsizetype mappedSize() const override { return m_size; }

        bool write(qsizetype offset, QByteArrayView bytes) override
        {
            note(QStringLiteral("write"), offset, bytes.size());
            if (!fits(offset, bytes.size()))
                return false;
            m_memory.objects[m_name].replace(offset, bytes.size(), bytes.toByteArray());
            return true;
        }
        QByteArray read(qsizetype offset, qsizetype count) const override
        {
            if (!fits(offset, count))
                return {};
            return m_memory.objects.value(m_name).mid(offset, count);
        }
        bool flush(qsizetype offset, qsizetype count) override
        {
            note(QStringLiteral("flush"), offset, count);
            return fits(offset, count);
        }
        void unmap() override
        {
            note(QStringLiteral("unmap"));
            m_size = 0;
        }
        void close() override { note(QStringLiteral("close")); }
        QString errorString() const override { return QStringLiteral("refused by the test"); }

    private:
        bool fits(qsizetype offset, qsizetype count) const
        {
            return m_size > 0 && offset >= 0 && count >= 0 && offset + count <= m_size;
        }
        // "write OrvaneEnd 0 4": the call, the block, then its numbers.
        void note(const QString &verb, qsizetype a = -1, qsizetype b = -1) const
        {
            QString entry = verb + QLatin1Char(' ') + QString::fromLatin1(m_name);
            for (const qsizetype n : {a, b}) {
                if (n >= 0)
                    entry += QLatin1Char(' ') + QString::number(n);
            }
            m_memory.log.append(entry);
        }

        FakeSharedMemory &m_memory;
        QByteArray m_name;
        qsizetype m_size = 0;
    };
};
