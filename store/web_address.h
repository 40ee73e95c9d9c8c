// How an address is read wherever one is looked at: by the import of bookmarks (which places
// may become buttons, which are the same, what a button without a title is called) and by the
// icons (which site a button belongs to). An address is "scheme:" and, when "//" follows, an
// authority of an optional "user@", a host and an optional ":port"; then a path and query, and a
// fragment after '#'. The image data URIs that bookmark files and pages carry are read here too.
#pragma once

#include <cstddef>
#include <string>

struct AddressParts {
    std::string scheme;         // lower case; "" when the text starts with none
    bool hasAuthority = false;  // "scheme://...": the host and the port below are read
    size_t authorityEnd = 0;    // where the authority ends and the path starts, an offset into the text
    size_t hostStart = 0;       // the host as written is text[hostStart, hostEnd)
    size_t hostEnd = 0;
    std::string host;           // lower case in any script; without user name or port
    int port = 0;               // the port written after the host; 0 when none is, -1 when it is no number 1 ... 65535
    std::string path;           // the path and query as written, up to the fragment
    std::string fragment;       // what follows '#', without it
};

// Reads an address as it is, spaces and all. A scheme is a letter followed by letters, digits,
// '+', '-' and '.', then ':' ("C:" of a drive path reads as the scheme "c"). The authority ends at
// the first '/', '?', '#' or '\' (a backslash never belongs to a host, and browsers take it for a
// slash); the user name ends at its last '@'; the port follows the last ':' that is not inside a
// bracketed IPv6 literal, which keeps its brackets in the host. Without "//" the path is all that
// follows the scheme's ':' (or the whole text without a scheme).
AddressParts ReadAddress(const std::string& text);

// Where the base64 text of an image data URI starts: the text begins with "data:image/" in any
// letter case, and its media type, up to the first ',', is made of letters, digits and "+-./:;="
// and ends in ";base64". 0 when the text is no such URI. The base64 text itself is its readers'.
size_t ImageDataUriPayload(const std::string& text);
