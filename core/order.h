// The sizes the program takes. MaxOrder sizes the grid and every fixed-size
// store below the user interface (the arithmetic reads only the first n of
// them); beyond it, up to MaxDynamicOrder, models go the dynamic-size path,
// whose matrices are allocated for their n.
#pragma once

namespace varno {

inline constexpr int MaxOrder = 6;

// About 7 n^2 doubles at once (0.9 GB at the cap) and a minute of dsygvd on
// two cores: beyond it a model is refused by its size, before anything is
// allocated for it.
inline constexpr int MaxDynamicOrder = 4000;

}  // namespace varno
