// The few VISA C types, constants and functions Tarnwick calls, declared from
// the documented VISA C API so that no vendor header is needed to build.
#ifndef TARNWICK_DRIVERS_VISA_API_H_
#define TARNWICK_DRIVERS_VISA_API_H_

#include <cstdint>
#include <type_traits>

#if defined(_WIN32)
#define TARNWICK_VISA_CALL __stdcall
#else
#define TARNWICK_VISA_CALL
#endif

namespace tarnwick::visa {

using ViStatus = int32_t;
using ViUInt32 = uint32_t;
using ViSession = ViUInt32;
using ViAttr = ViUInt32;
// An attribute's value is 64 bits wide on 64-bit systems.
using ViAttrState = std::conditional_t<sizeof(void*) == 8, uint64_t, uint32_t>;

inline constexpr ViSession kNull = 0;
inline constexpr ViAttrState kTrue = 1;

// Completion codes.
inline constexpr ViStatus kSuccess = 0;
inline constexpr ViStatus kSuccessTermChar = 0x3FFF0005;  // read ended on the termination character
inline constexpr ViStatus kSuccessMaxCount = 0x3FFF0006;  // read filled the buffer, no END yet
// Error codes (negative).
inline constexpr ViStatus kErrorSystem = static_cast<ViStatus>(0xBFFF0000);
inline constexpr ViStatus kErrorResourceNotFound = static_cast<ViStatus>(0xBFFF0011);
inline constexpr ViStatus kErrorTimeout = static_cast<ViStatus>(0xBFFF0015);
inline constexpr ViStatus kErrorNoListeners = static_cast<ViStatus>(0xBFFF005F);
inline constexpr ViStatus kErrorConnectionLost = static_cast<ViStatus>(0xBFFF00A6);

// Attributes.
inline constexpr ViAttr kAttrSendEndEnable = 0x3FFF0016;
inline constexpr ViAttr kAttrTermChar = 0x3FFF0018;
inline constexpr ViAttr kAttrTimeoutValue = 0x3FFF001A;  // milliseconds
inline constexpr ViAttr kAttrTermCharEnable = 0x3FFF0038;

// viStatusDesc writes at most this many characters, terminator included.
inline constexpr int kStatusDescSize = 256;

using OpenDefaultRMFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession* rm);
using OpenFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession rm, const char* resource, ViUInt32 mode,
                                             ViUInt32 openTimeoutMs, ViSession* vi);
using CloseFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession vi);
using SetAttributeFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession vi, ViAttr attribute,
                                                     ViAttrState value);
using WriteFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession vi, const unsigned char* buf,
                                              ViUInt32 count, ViUInt32* written);
using ReadFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession vi, unsigned char* buf, ViUInt32 count,
                                             ViUInt32* received);
using StatusDescFn = ViStatus(TARNWICK_VISA_CALL*)(ViSession vi, ViStatus status, char* desc);

}  // namespace tarnwick::visa

#endif  // TARNWICK_DRIVERS_VISA_API_H_
