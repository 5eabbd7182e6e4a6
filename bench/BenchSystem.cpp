#include "bench/BenchSystem.h"

#include "platform/CTaskController.h"

#include <sys/resource.h>

#include <algorithm>

namespace bench {

std::vector<PackageItem> realisticItems(const std::string& folder, size_t files, int seed) {
    constexpr size_t kPerFolder = 30;
    std::vector<PackageItem> items;
    items.reserve(files);
    for (size_t i = 0; i < files; ++i) {
        const size_t leaf = i / kPerFolder;
        const std::string path = folder + "/Contents/Resources/Group" +
                                 std::to_string(leaf / (kPerFolder * kPerFolder)) + "/Set" +
                                 std::to_string((leaf / kPerFolder) % kPerFolder) + "/Part" +
                                 std::to_string(leaf % kPerFolder) + "/item" + std::to_string(i) + ".dat";
        const size_t size = 200 + (i * 7919 + static_cast<size_t>(seed) * 104729) % 3800;
        items.push_back(PackageItem::file(path, std::string(size, static_cast<char>('a' + i % 26))));
    }
    return items;
}

std::chrono::nanoseconds cpuTime() {
    auto total = [](int who) {
        rusage usage{};
        ::getrusage(who, &usage);
        return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    };
    return std::chrono::duration_cast<std::chrono::nanoseconds>(total(RUSAGE_SELF) + total(RUSAGE_CHILDREN));
}

std::chrono::nanoseconds cpuTimeOf(const std::function<void()>& work) {
    const std::chrono::nanoseconds start = cpuTime();
    work();
    return cpuTime() - start;
}

std::chrono::nanoseconds duCpuTime(const std::vector<std::string>& hostFolders) {
    std::vector<std::string> arguments{"-s"};
    arguments.insert(arguments.end(), hostFolders.begin(), hostFolders.end());
    return cpuTimeOf([&] { CTaskController::run("/usr/bin/du", arguments); });
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Comparison compareWithDu(const std::function<void()>& work, const std::vector<std::string>& duFolders,
                         int repetitions) {
    work();
    duCpuTime(duFolders);
    std::vector<double> ratios;
    std::vector<double> workTimes;
    std::vector<double> duTimes;
    for (int i = 0; i < repetitions; ++i) {
        const double workMs = std::chrono::duration<double, std::milli>(cpuTimeOf(work)).count();
        const double duMs = std::chrono::duration<double, std::milli>(duCpuTime(duFolders)).count();
        workTimes.push_back(workMs);
        duTimes.push_back(duMs);
        ratios.push_back(duMs > 0 ? workMs / duMs : 0);
    }
    return {median(ratios), median(workTimes), median(duTimes)};
}

} // namespace bench
