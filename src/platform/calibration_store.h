#pragma once
// The user's printer calibrations, one per printer name, in a small ini file
// of their own: $XDG_CONFIG_HOME/ordavel/printers.ini (~/.config when the
// variable is unset), on Windows %APPDATA%\ordavel\printers.ini. Templates never hold calibrations; without the file
// every printer prints uncorrected.

#include "print/calibration.h"

#include <optional>
#include <string>
#include <vector>

namespace ordavel {

struct StoredCalibration {
    std::optional<Calibration> calibration; // nothing when none is stored
    std::string error; // set when the stored values are unreadable or out of limits
};

class CalibrationStore {
public:
    // The file this user's calibrations live in (calibration_path*.cpp).
    static std::string defaultPath();

    explicit CalibrationStore(std::string path = defaultPath());

    const std::string& path() const { return m_path; }

    StoredCalibration load(const std::string& printerName) const;
    // Each returns an empty string on success or why it failed. The file is
    // replaced as a whole (written under a temporary name and renamed).
    // save refuses a calibration outside the limits; the identity is stored
    // as no calibration at all.
    std::string save(const std::string& printerName, const Calibration& calibration);
    std::string remove(const std::string& printerName);

    // The printers that have a calibration, in the file's order.
    std::vector<std::string> printers() const;

private:
    std::string m_path;
};

} // namespace ordavel
