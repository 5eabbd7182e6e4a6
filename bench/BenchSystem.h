#pragma once

#include "tests/support/SoftwareFixture.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Realistic installations for the benchmarks, and the measuring they share: CPU time of this process and
// its children, compared with the physical reference (du) in the same run, median of the ratios.
namespace bench {

/// `files` files below `folder` laid out as installers lay them out: about thirty entries per folder,
/// three levels of folders, sizes from a few hundred bytes to a few kilobytes.
std::vector<PackageItem> realisticItems(const std::string& folder, size_t files, int seed);

/// The CPU time (user and system) this process and its waited-for children have used so far.
std::chrono::nanoseconds cpuTime();

/// The CPU time `work` takes, children included.
std::chrono::nanoseconds cpuTimeOf(const std::function<void()>& work);

/// The CPU time of `du -s` over host folders.
std::chrono::nanoseconds duCpuTime(const std::vector<std::string>& hostFolders);

/// The median of some numbers (the mean of the middle two for an even count); 0 for none.
double median(std::vector<double> values);

/// What comparing a piece of work with du gave.
struct Comparison {
    double medianRatio = 0;      ///< median of (work CPU / du CPU) over the repetitions
    double workMilliseconds = 0; ///< median CPU time of the work
    double duMilliseconds = 0;   ///< median CPU time of du
};

/// Runs `work` and du alternately: one warm-up of each, then `repetitions` measured pairs.
Comparison compareWithDu(const std::function<void()>& work, const std::vector<std::string>& duFolders,
                         int repetitions);

} // namespace bench
