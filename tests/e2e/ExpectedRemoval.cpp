#include "tests/e2e/ExpectedRemoval.h"

#include "platform/PropertyList.h"
#include "tests/e2e/ExpectedSize.h"
#include "tests/support/TestBundle.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The folders no uninstall deletes whatever the data says (the uninstaller's own floor).
const std::vector<std::string> kSystemFolders = {"/",
                                                 "/System",
                                                 "/Library",
                                                 "/Applications",
                                                 "/Users",
                                                 "/usr",
                                                 "/bin",
                                                 "/sbin",
                                                 "/etc",
                                                 "/var",
                                                 "/private",
                                                 "/Library/Printers",
                                                 "/Library/Preferences",
                                                 "/Library/LaunchAgents",
                                                 "/Library/Receipts",
                                                 "/Library/Printers/PPDs/Contents/Resources"};

std::vector<std::string> stringsOf(const PlistValue* value) {
    return value != nullptr ? value->asStringArray().value_or(std::vector<std::string>())
                            : std::vector<std::string>();
}

std::string normalized(const std::string& path) {
    std::string out = fs::path(path).lexically_normal().generic_string();
    while (out.size() > 1 && out.back() == '/') {
        out.pop_back();
    }
    return out;
}

std::string parentOf(const std::string& path) {
    const std::string parent = fs::path(path).parent_path().generic_string();
    return parent.empty() ? "/" : parent;
}

bool coveredByAny(const std::vector<std::string>& entries, const std::string& path) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& entry) { return ExpectedSize::covers(entry, path); });
}

bool isSystemFolder(const std::string& path, const std::vector<std::string>& users) {
    if (std::find(kSystemFolders.begin(), kSystemFolders.end(), path) != kSystemFolders.end()) {
        return true;
    }
    return std::any_of(users.begin(), users.end(), [&](const std::string& user) {
        return path == "/Users/" + user || path == "/Users/" + user + "/Library";
    });
}

std::vector<std::pair<const PackageDescription*, ReceiptLayout>> packagesOf(const SampleSoftware& software) {
    std::vector<std::pair<const PackageDescription*, ReceiptLayout>> packages;
    for (const PackageDescription& package : software.softwareUpdatePackages) {
        packages.emplace_back(&package, ReceiptLayout::AppleSystemReceipts);
    }
    for (const SoftwarePackage& package : software.spec.packages) {
        if (package.listedInFile) {
            packages.emplace_back(&package.spec, package.layout);
        }
    }
    return packages;
}

// The remove paths of a software: its own and those the shipped data names it for.
std::vector<std::string> removePathsOf(const SoftwareSpec& spec) {
    std::vector<std::string> paths = spec.removePaths.value_or(std::vector<std::string>());
    const PlistValue information = TestBundle::shippedInformation();
    if (const PlistValue* groups = information.find("CVExtendRemovePath")) {
        for (const PlistValue& group : groups->asArray()) {
            const std::vector<std::string> names = stringsOf(group.find("softwarename"));
            if (std::find(names.begin(), names.end(), spec.name) != names.end()) {
                const std::vector<std::string> extra = stringsOf(group.find("removepath"));
                paths.insert(paths.end(), extra.begin(), extra.end());
            }
        }
    }
    return paths;
}

} // namespace

ExpectedRemoval::ExpectedRemoval(const TestSystem& system, std::vector<const SampleSoftware*> software)
    : mSystem(system) {
    for (const std::string& path : system.tree()) {
        struct stat st {};
        ::lstat(system.host(path).c_str(), &st);
        mPresent[path] = S_ISREG(st.st_mode)   ? 'f'
                         : S_ISLNK(st.st_mode) ? 'l'
                         : S_ISDIR(st.st_mode) ? 'd'
                                               : 'o';
    }
    for (const std::string& account : system.tree("/var/db/dslocal/nodes/Default/users")) {
        mUsers.push_back(fs::path(account).stem().string());
    }
    const PlistValue information = TestBundle::shippedInformation();
    mIndividual = stringsOf(information.find("CVIndividualPath"));
    mLower = stringsOf(information.find("CVLowerLayerPath"));
    for (const std::string& user : mUsers) {
        const std::string home = "/Users/" + user;
        mIndividual.push_back(home);
        for (const std::string& entry : stringsOf(information.find("CVIndividualUserPath"))) {
            mIndividual.push_back(home + "/" + entry);
        }
        for (const std::string& entry : stringsOf(information.find("CVLowerLayerUserPath"))) {
            mLower.push_back(home + "/" + entry);
        }
    }
    for (const SampleSoftware& installed : SampleSystem::software()) {
        const std::vector<std::string> pool =
            installed.spec.allSoftwareRestPaths.value_or(std::vector<std::string>());
        mPoolRest.insert(mPoolRest.end(), pool.begin(), pool.end());
    }
    const std::map<std::string, char> initial = mPresent;
    editPreferences(software);
    // The uninstall works every software's lists out on the untouched tree, then removes one after the other.
    std::vector<std::pair<const SampleSoftware*, std::vector<std::set<std::string>>>> lists;
    for (const SampleSoftware* each : software) {
        const SoftwareSpec& spec = each->spec;
        std::vector<std::string> rest = spec.restPaths.value_or(std::vector<std::string>());
        rest.insert(rest.end(), mPoolRest.begin(), mPoolRest.end());
        const std::vector<std::string> shared = stringsOf(TestBundle::shippedInfo().find("EXRestPathList"));
        rest.insert(rest.end(), shared.begin(), shared.end());
        const std::vector<std::string> remove = removePathsOf(spec);

        std::set<std::string> files =
            ExpectedSize::filesOf(system, spec, each->softwareUpdatePackages, mPoolRest);
        std::set<std::string> links;
        std::set<std::string> folders;
        for (const auto& [package, layout] : packagesOf(*each)) {
            const std::string root = normalized("/" + ExpectedSize::installFolder(*package, layout));
            folders.insert(root);
            for (const PackageItem& item : package->items) {
                const std::string path = normalized(root + "/" + item.path);
                if (item.kind == PackageItemKind::Link) {
                    links.insert(path);
                }
                for (std::string folder = item.kind == PackageItemKind::Folder ? path : parentOf(path);
                     folder.size() > root.size() && folder.starts_with(root); folder = parentOf(folder)) {
                    folders.insert(folder);
                }
            }
        }
        std::erase_if(links, [&](const std::string& path) {
            return initial.count(path) == 0 || initial.at(path) != 'l' || coveredByAny(rest, path);
        });
        std::erase_if(folders, [&](const std::string& path) {
            return initial.count(path) == 0 || initial.at(path) != 'd' || coveredByAny(rest, path);
        });
        for (const auto& [path, kind] : initial) {
            if (coveredByAny(remove, path)) {
                (kind == 'l' ? links : kind == 'd' ? folders : files).insert(path);
            }
        }
        std::erase_if(folders, [&](const std::string& path) {
            return std::find(mIndividual.begin(), mIndividual.end(), path) != mIndividual.end() ||
                   std::any_of(mLower.begin(), mLower.end(), [&](const std::string& lower) {
                       return path == lower || path.starts_with(lower + "/");
                   });
        });
        lists.push_back({each, {files, links, folders}});
    }
    for (size_t i = 0; i < lists.size(); ++i) {
        const auto& [each, kinds] = lists[i];
        for (const std::string& file : kinds[0]) {
            if (mPresent.count(file) != 0 && mPresent[file] != 'd') {
                mPresent.erase(file);
            }
        }
        for (const std::string& link : kinds[1]) {
            if (mPresent.count(link) != 0 && mPresent[link] != 'd') {
                mPresent.erase(link);
            }
        }
        std::vector<std::string> folders(kinds[2].begin(), kinds[2].end());
        std::stable_sort(folders.begin(), folders.end(),
                         [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
        for (const std::string& folder : folders) {
            if (mPresent.count(folder) == 0 || isSystemFolder(folder, mUsers)) {
                continue;
            }
            std::vector<std::string> children;
            bool onlyHidden = true;
            for (const auto& [path, kind] : mPresent) {
                if (path.size() > folder.size() + 1 && path.starts_with(folder + "/") &&
                    path.find('/', folder.size() + 1) == std::string::npos) {
                    children.push_back(path);
                    const bool hidden = fs::path(path).filename().string().front() == '.';
                    onlyHidden = onlyHidden && kind != 'd' && (kind == 'o' || hidden);
                }
            }
            if (onlyHidden) {
                for (const std::string& child : children) {
                    mPresent.erase(child);
                }
                mPresent.erase(folder);
            }
        }
        removeSoftware(*each);
    }
    for (const auto& [path, kind] : initial) {
        if (mPresent.count(path) == 0) {
            mDeleted.insert(path);
        }
    }
}

void ExpectedRemoval::removeSoftware(const SampleSoftware& software) {
    const std::vector<std::string> labels = software.spec.launchAgents.value_or(std::vector<std::string>());
    std::vector<std::string> agentFolders = {"/Library/LaunchAgents/", "/System/Library/LaunchAgents/"};
    for (const std::string& user : mUsers) {
        agentFolders.push_back("/Users/" + user + "/Library/LaunchAgents/");
    }
    for (auto it = mPresent.begin(); it != mPresent.end();) {
        const bool inAgentFolder =
            std::any_of(agentFolders.begin(), agentFolders.end(),
                        [&](const std::string& folder) { return it->first.starts_with(folder); });
        const std::optional<PlistValue> agent =
            inAgentFolder && it->second == 'f' ? PropertyList::readFile(it->first) : std::nullopt;
        const std::optional<std::string> label = agent ? agent->stringForKey("Label") : std::nullopt;
        if (label && std::find(labels.begin(), labels.end(), *label) != labels.end()) {
            it = mPresent.erase(it);
        } else {
            ++it;
        }
    }
    mPresent.erase("/Library/Preferences/com.torva." +
                   (software.spec.fileName.empty() ? software.spec.name : software.spec.fileName) +
                   ".UnInstallList.plist");
    for (const auto& [package, layout] : packagesOf(software)) {
        if (layout == ReceiptLayout::Bundle) {
            const std::string bundle = "/Library/Receipts/" + package->bundleName;
            std::erase_if(mPresent, [&](const auto& entry) {
                return entry.first == bundle || entry.first.starts_with(bundle + "/");
            });
            continue;
        }
        for (const char* folder :
             {"/var/db/receipts/", "/System/Library/Receipts/", "/Library/Apple/System/Library/Receipts/"}) {
            mPresent.erase(folder + package->identifier + ".bom");
            mPresent.erase(folder + package->identifier + ".plist");
        }
    }
}

void ExpectedRemoval::editPreferences(const std::vector<const SampleSoftware*>& software) {
    std::vector<std::string> labels;
    std::vector<std::string> items;
    for (const SampleSoftware* each : software) {
        const std::vector<std::string> dock = each->spec.dockItems.value_or(std::vector<std::string>());
        const std::vector<std::string> login = each->spec.loginItems.value_or(std::vector<std::string>());
        labels.insert(labels.end(), dock.begin(), dock.end());
        items.insert(items.end(), login.begin(), login.end());
    }
    const auto edit = [&](const std::string& path, const std::vector<const char*>& keys, auto&& removes) {
        std::optional<PlistValue> root = PropertyList::readFile(path);
        if (!root || !root->isDictionary()) {
            return;
        }
        bool changed = false;
        for (const char* key : keys) {
            if (PlistValue* array = root->find(key); array != nullptr && array->isArray()) {
                const size_t before = array->asArray().size();
                std::erase_if(array->asArray(), removes);
                changed = changed || array->asArray().size() != before;
            }
        }
        if (changed) {
            mEdited[path] = *root;
        }
    };
    for (const std::string& user : mUsers) {
        edit("/Users/" + user + "/Library/Preferences/com.apple.dock.plist",
             {"persistent-apps", "persistent-others"}, [&](const PlistValue& tile) {
                 const PlistValue* data = tile.find("tile-data");
                 const std::optional<std::string> label =
                     data ? data->stringForKey("file-label") : std::nullopt;
                 return label && std::find(labels.begin(), labels.end(), *label) != labels.end();
             });
    }
    std::vector<std::string> loginFiles = {"/Library/Preferences/loginwindow.plist"};
    for (const std::string& user : mUsers) {
        loginFiles.push_back("/Users/" + user + "/Library/Preferences/loginwindow.plist");
    }
    for (const std::string& file : loginFiles) {
        edit(file, {"AutoLaunchedApplicationDictionary"}, [&](const PlistValue& item) {
            const std::optional<std::string> path = item.stringForKey("Path");
            return path && std::find(items.begin(), items.end(), *path) != items.end();
        });
    }
}
