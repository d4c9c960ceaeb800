// What the simulated analyser sees: spectral lines over a noise floor, and how
// its bus behaves.
#ifndef TARNWICK_SIM_SCENE_H_
#define TARNWICK_SIM_SCENE_H_

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "text/small_file.h"

namespace tarnwick::sim {

struct Tone {
  double frequencyHz = 0;
  double levelDbm = 0;
};

enum class ReplyEnd { kCrLf, kLf };

// An error the SCPI analyser queues every time it carries out a command.
struct ScpiFault {
  std::string header;  // the command's header, in any form the analyser accepts
  int code = 0;
  std::string text;    // without quotes
};

struct Scene {
  std::vector<Tone> tones;
  double floorDbm = -90;
  int address = 8;                 // primary address the analyser listens at
  int averagingMs = 300;           // how long an averaged sweep takes
  int sweepMs = 0;                 // how long a plain sweep takes
  ReplyEnd replyEnd = ReplyEnd::kCrLf;
  std::optional<long> silentAfter; // answer this many queries, then no more
  int registration = 0;            // first RegisterGpibGlobalsForThread answer
  std::vector<ScpiFault> scpiFaults;
};

// A scene file that cannot be read or has a line that is not a directive.
// what() names the file and the line number.
class SceneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The built-in scene: a transmitter at 1940 MHz with harmonics and spurs.
Scene DefaultScene();
// Parses scene text; sourceName is used in error messages.
Scene ParseScene(std::string_view text, std::string_view sourceName);
// The environment variable that gives the simulator libraries their scene.
inline constexpr char kSceneEnv[] = "TARNWICK_SIM_SCENE";

// The scene the simulator libraries serve: the file named by kSceneEnv, or
// the built-in scene. A broken file is reported on standard error and gives
// nothing, so the library can refuse to serve.
std::optional<Scene> SceneFromEnvironment();

// Reads and parses a scene file of at most kMaxSceneBytes.
inline constexpr std::size_t kMaxSceneBytes = kMaxSmallFileBytes;
Scene LoadSceneFile(const std::string& path);

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_SCENE_H_
