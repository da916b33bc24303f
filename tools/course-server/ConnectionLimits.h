#pragma once

// How much of the server one client, or all of them together, may hold.
struct ConnectionLimits
{
    // Connections served at once; further clients wait in the listen queue
    // until one closes. Each takes up to two file handles (its socket and
    // the file being sent), so the default stays well inside the usual
    // limit of 1024.
    int maxConnections = 256;
    // A client has this long for its TLS handshake, and again for each whole
    // request head, counted from when the server is ready for it (after the
    // handshake or the previous answer). Bytes trickling in do not extend
    // it. nginx's client_header_timeout is 60 s as well.
    int headerTimeoutMs = 60 * 1000;
};
