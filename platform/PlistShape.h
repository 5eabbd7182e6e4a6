#pragma once

#include <cstddef>
#include <string_view>

/// A look at the shape of property-list bytes before the property-list library parses them: the library
/// builds and frees its trees recursively, and copies an object for every reference to it, so a deeply
/// nested or widely shared list would exhaust the stack or the memory.
namespace plistshape {

/// The deepest nesting of arrays and dictionaries the program reads; real files stay far below it.
constexpr size_t kMaxDepth = 256;
/// The most values a binary list may expand to once every reference is copied.
constexpr size_t kMaxValues = size_t{1} << 20;

/// False when the bytes nest arrays and dictionaries deeper than kMaxDepth, or (binary form) refer to
/// objects in a circle, expand to more than kMaxValues values or hold a dictionary key with U+0000 (which
/// the library cannot hand back without stopping the program). Bytes that are no property list at all
/// pass: the parser refuses them itself.
bool withinLimits(std::string_view bytes);

} // namespace plistshape
