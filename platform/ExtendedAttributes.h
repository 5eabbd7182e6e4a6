#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The extended attributes of an open file or folder, access control lists included: on Linux a POSIX ACL
// is the attribute "system.posix_acl_access" (and "system.posix_acl_default" on a folder), so keeping
// and putting back every attribute keeps and puts back the ACLs too.
namespace xattrs {

/// Names and values, in the order the file system lists them.
using List = std::vector<std::pair<std::string, std::string>>;

/// Every attribute of the item open at `fd` (not an O_PATH descriptor); an empty list when the file
/// system has none, nullopt (errno set) when they cannot be read.
std::optional<List> read(int fd);

/// Gives the item open at `fd` exactly `wanted`: each one set, and those it has beyond them (inherited
/// from its folder's default ACL, say) removed. false, with the name and the reason in `failure`, when
/// one of `wanted` cannot be set; removals that fail are left as they are.
bool replace(int fd, const List& wanted, std::string& failure);

} // namespace xattrs
