#pragma once

#include <Qt>

namespace Tamberlyn::Reading {

enum class ReadingAidKey { None, ZoomIn, ZoomOut, ZoomReset, OpenFind, FindNext, FindPrevious };

// The main window's keys for the reading aids, asked after the course's own
// keys (mainkeys.h), none of which they share: the course's keys use Alt,
// Page Up, Page Down and Escape; these use Ctrl and F3.
//
// Ctrl+Plus however the keyboard makes it (Ctrl+=, Ctrl+Shift+=, the keypad's
// +), Ctrl+Minus and Ctrl+0 zoom the page; Ctrl+F opens the find bar; F3
// and Shift+F3 go to the next and previous match. Alt or Meta with them
// make another key.
ReadingAidKey readingAidKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace Tamberlyn::Reading
