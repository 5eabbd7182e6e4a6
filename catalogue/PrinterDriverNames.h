#pragma once

#include <string>
#include <string_view>

// The maker's two printer drivers are one row of the table and one name in the progress: the catalogue
// folds their records into that row and the uninstall announces them by it.
namespace printerdrivernames {

/// The name of the row that stands for both printer drivers.
inline constexpr std::string_view kRowName = "Printer Driver";

/// True for the two printer drivers ("Inkjet Printer Driver", "Page Printer Driver & PS Driver").
inline bool isPrinterDriver(std::string_view applicationName) {
    return applicationName == "Inkjet Printer Driver" || applicationName == "Page Printer Driver & PS Driver";
}

/// The name a software is shown by: the row name for the printer drivers, its own name otherwise.
inline std::string displayName(const std::string& applicationName) {
    return isPrinterDriver(applicationName) ? std::string(kRowName) : applicationName;
}

} // namespace printerdrivernames
