// Every text Tarnwick says to the analyser. The run, the waits and the
// simulated analyser all use these, so a command is spelt in one place only.
#ifndef TARNWICK_ANALYSER_BUILTIN_COMMANDS_H_
#define TARNWICK_ANALYSER_BUILTIN_COMMANDS_H_

#include <string_view>

namespace tarnwick::cmd {

// Set-up, in the order the run sends them.
inline constexpr std::string_view kDisplayLine = "DY 0.1";
inline constexpr std::string_view kBandwidths = "RB 1MZ VB 1MZ";
inline constexpr std::string_view kPositiveDetector = "DET POS";
inline constexpr std::string_view kRefOffsetPrefix = "RO ON RO ";  // + number + kDbSuffix
inline constexpr std::string_view kRefLevelPrefix = "RL ";         // + number + kDbSuffix
inline constexpr std::string_view kDbSuffix = "DB";  // the level is in dBm, but the analyser wants DB
inline constexpr std::string_view kSingleSweepMode = "SI";
inline constexpr std::string_view kAverageSetup = "AGS";

// Per segment.
inline constexpr std::string_view kStopPrefix = "FB ";   // + number + kHzSuffix
inline constexpr std::string_view kStartPrefix = "FA ";  // + number + kHzSuffix
inline constexpr std::string_view kHzSuffix = "HZ";
inline constexpr std::string_view kTakeSweep = "TS";
inline constexpr std::string_view kAverageSingle = "AGSGL";
inline constexpr std::string_view kAverageCount = "AG 10";
inline constexpr std::string_view kAverageRestart = "AGR";
inline constexpr std::string_view kContinuousSweep = "CONTS";
inline constexpr std::string_view kPeakSearch = "PS";
inline constexpr std::string_view kMarkerFrequency = "MF?";
inline constexpr std::string_view kMarkerLevel = "ML?";

// Once, after the last segment.
inline constexpr std::string_view kAveragingOff = "AAVG OFF";

// IEEE 488.2 common commands: the status dialogue of the waits, which both
// dialects use, and the identity query.
inline constexpr std::string_view kClearStatus = "*CLS";
inline constexpr std::string_view kOperationEnable = "OPR 256";
inline constexpr std::string_view kServiceRequestEnable = "*SRE 160";
inline constexpr std::string_view kStatusByteQuery = "*STB?";
inline constexpr std::string_view kEventStatusQuery = "*ESR?";
inline constexpr std::string_view kIdentify = "*IDN?";

// Status byte bits the wait enables and watches.
inline constexpr int kStbOperationSummary = 0x80;  // bit 7
inline constexpr int kStbRequestSummary = 0x40;    // bit 6, under the *SRE enable
inline constexpr int kStbEventSummary = 0x20;      // bit 5
// Event status bits: the operation the "*OPC" armed is complete, and those
// that mean a sweep went wrong.
inline constexpr int kEsrOperationComplete = 0x01;
inline constexpr int kEsrDeviceError = 0x08;
inline constexpr int kEsrExecutionError = 0x10;
inline constexpr int kEsrCommandError = 0x20;
// The operation-register bit that "OPR 256" enables: averaging complete.
inline constexpr int kOperationAveragingDone = 256;

}  // namespace tarnwick::cmd

#endif  // TARNWICK_ANALYSER_BUILTIN_COMMANDS_H_
