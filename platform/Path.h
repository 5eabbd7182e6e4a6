#pragma once

#include <string>
#include <string_view>
#include <vector>

// Path-string operations on "/"-separated paths, done on the text alone (no file system access).
namespace path {

/// Collapses repeated "/", drops "." components and a trailing "/", and resolves ".." lexically
/// ("/.." stays "/"; a relative path keeps leading ".." components). "" stays "".
std::string standardize(std::string_view path);

/// Joins `component` to `base` with exactly one "/" between them; an empty side gives the other.
std::string join(std::string_view base, std::string_view component);

/// The last component ("/a/b/" gives "b", "/" gives "/", "" gives "").
std::string lastComponent(std::string_view path);

/// The path without its last component ("/a/b" gives "/a", "/a" gives "/", "a" gives "").
std::string deletingLastComponent(std::string_view path);

/// The components; an absolute path starts with "/" ("/a//b" gives "/", "a", "b").
std::vector<std::string> components(std::string_view path);

/// The inverse of components(): {"/", "a", "b"} gives "/a/b", {"*", "x"} gives "*/x".
std::string fromComponents(const std::vector<std::string>& parts);

/// True when `path` equals `folder` or lies below it ("folder/…"), and always below "/"; plain string
/// tests with no standardizing, for host paths and for paths already in comparisonKey() form.
bool isInFolder(std::string_view path, std::string_view folder);

// Paths of the system being cleaned are compared as macOS's default volumes compare names: "/LIBRARY",
// "/library/printers/" and a decomposed and a composed spelling of one accented name are the same item.
// Every comparison of a system path with a protected folder, a kept path or another system path goes
// through these.

/// The path standardized (a relative one taken from "/"), Unicode-decomposed (NFD) and case-folded;
/// bytes that are not UTF-8 have only their ASCII letters folded.
std::string comparisonKey(std::string_view systemPath);

/// True when both name the same item.
bool isSameItem(std::string_view a, std::string_view b);

/// True when `path` is `folder` or lies below it; every path lies within "/".
bool isWithin(std::string_view path, std::string_view folder);

/// True when `path` lies below `folder` and is not `folder` itself.
bool isStrictlyWithin(std::string_view path, std::string_view folder);

} // namespace path
