// What the program is: its name, version and ids, and the address of its online service. The
// ground floor: every module may read these, and this folder reads nothing of the program.
#pragma once

namespace pellanor::product {

// Names the process, its folders, settings key and log files.
inline constexpr char kName[] = "Pellanor";
inline constexpr char kVersion[] = "1.3.6";
// Sent with every service request, and carried by each disk record the pages receive.
inline constexpr int kId = 10001;
inline constexpr char kServiceBaseUrl[] = "https://api.pellanor.app";

}  // namespace pellanor::product
