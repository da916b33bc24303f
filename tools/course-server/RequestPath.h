#pragma once

#include <QByteArrayView>
#include <QStringList>

// The file-system meaning of a request target, before it touches the disk.
struct RequestPath
{
    enum class Outcome {
        Ok,        // segments name a path below the web root
        Malformed, // bad percent-encoding or not UTF-8: 400
        Refused,   // tries to leave the web root, smuggle a separator or reach a hidden file: 403
    };

    Outcome outcome = Outcome::Malformed;
    // Decoded path segments; empty and "." segments are already dropped, so
    // "/a//b/./c" gives {"a", "b", "c"} and "/" gives {}.
    QStringList segments;
};

// Decodes the path of a request target: query and fragment are dropped, the
// rest is percent-decoded exactly once and split into segments. Any ".."
// segment, any other segment starting with a dot (hidden files), backslash or
// NUL is refused, including when it arrived encoded (%2e%2e, %5c, %00, or
// "..%2f" which decodes to a ".." segment).
RequestPath decodeRequestPath(QByteArrayView target);
