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

/// True when `path` equals `folder` or lies below it ("folder/…"); plain string tests, no standardizing.
bool isInFolder(std::string_view path, std::string_view folder);

} // namespace path
