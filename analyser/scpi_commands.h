// Every text the SCPI dialect says to an analyser: IEEE 488.2 common
// commands (in builtin_commands.h) and the spectrum-analyser subtree that
// current analysers of the common makes accept, in their short forms.
#ifndef TARNWICK_ANALYSER_SCPI_COMMANDS_H_
#define TARNWICK_ANALYSER_SCPI_COMMANDS_H_

#include <cstddef>
#include <string_view>

namespace tarnwick::scpi {

// Set-up, in the order the run sends them, after "*CLS".
inline constexpr std::string_view kSingleSweepMode = ":INIT:CONT OFF";
inline constexpr std::string_view kResolutionBandwidth = ":SENS:BAND:RES 1000000";
inline constexpr std::string_view kVideoBandwidth = ":SENS:BAND:VID 1000000";
inline constexpr std::string_view kPositiveDetector = ":SENS:DET POS";
inline constexpr std::string_view kRefOffsetPrefix = ":DISP:WIND:TRAC:Y:RLEV:OFFS ";  // + dB
inline constexpr std::string_view kRefLevelPrefix = ":DISP:WIND:TRAC:Y:RLEV ";        // + dBm
// Ends the set-up, and every segment.
inline constexpr std::string_view kNextError = ":SYST:ERR?";

// Per segment.
inline constexpr std::string_view kStartPrefix = ":SENS:FREQ:STAR ";  // + Hz
inline constexpr std::string_view kStopPrefix = ":SENS:FREQ:STOP ";   // + Hz
inline constexpr std::string_view kAverageCount = ":SENS:AVER:COUN 10";
inline constexpr std::string_view kAveragingOn = ":SENS:AVER:STAT ON";
inline constexpr std::string_view kAveragingOff = ":SENS:AVER:STAT OFF";  // also once at the end
inline constexpr std::string_view kSweepThenReport = ":INIT:IMM;*OPC";
inline constexpr std::string_view kPeakSearch = ":CALC:MARK1:MAX";
inline constexpr std::string_view kMarkerFrequency = ":CALC:MARK1:X?";
inline constexpr std::string_view kMarkerLevel = ":CALC:MARK1:Y?";

// Once, after the last segment and "AVER:STAT OFF".
inline constexpr std::string_view kContinuousSweep = ":INIT:CONT ON";

// How many errors a segment reads from the queue at the most.
inline constexpr int kMaxErrorReads = 10;
// SCPI keeps an error's text to 255 characters; with its code and quotes a
// reply fits this width.
inline constexpr std::size_t kErrorReplyWidth = 320;

}  // namespace tarnwick::scpi

#endif  // TARNWICK_ANALYSER_SCPI_COMMANDS_H_
