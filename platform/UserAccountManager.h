#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Lists the user accounts whose home folders get per-user treatment.
class UserAccountManager {
public:
    /// The login names of the accounts whose home folder path begins with "/Users". With the system root
    /// "/" they come from the account database in its order; with another root from that system's local
    /// directory (var/db/dslocal/nodes/Default/users/*.plist, keys "name", "home" and "uid"), ordered by
    /// uid and then name. Names that are not valid UTF-8 are left out.
    std::vector<std::string> getAllUserName() const;

    /// The account this process runs as, on the machine it runs on.
    struct RunningAccount {
        uint32_t uid = 0;
        std::string name; ///< "" when the account database has no entry for the uid
    };
    static RunningAccount runningAccount();
};
