#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tt {

// What a whole-file conversion leaves behind besides the image: the frames it walked and the
// summed absolute model error over them (in sample units of the file's bit depth).
struct ConversionResult {
    std::int64_t frameCount = 0;
    double errorSum = 0.0;
    // The audible SNR of the frames walked, in dB, when the pass measured it.
    std::optional<double> audibleSnrDb;
};

// The error label's text: "Error: " and the mean absolute error per frame, rounded half to even.
// A pass over no frames has no mean; it reads "Error: 0".
std::string errorLabelText(const ConversionResult& result);

} // namespace tt
