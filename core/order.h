// The largest n the program takes: the one place to change when it grows.
// Every fixed-size store below the user interface holds this many degrees of
// freedom; the arithmetic reads only the first n of them.
#pragma once

namespace varno {

inline constexpr int MaxOrder = 6;

}  // namespace varno
