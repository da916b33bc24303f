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
    // A client that takes nothing of what is sent to it for this long is
    // dropped: a stalled download, or answers to requests it pipelined and
    // never reads.
    int sendStallTimeoutMs = 60 * 1000;
    // At the cap, a new client still gets in: the connection that has been
    // idle the longest (nothing asked since its handshake or its last
    // answer) or that has spent the longest over an unfinished handshake
    // or request head, past this grace, is dropped for it. Only when every
    // connection is busy (a request in hand, an answer being sent) does the
    // newcomer wait. A full cap is never a locked door: a few hundred
    // connections that say nothing cannot keep a learner out.
    int slowAfterMs = 1000;
};
