#include "sim/scene.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "bus/gpib_driver.h"
#include "text/quote.h"
#include "text/small_file.h"
#include "sim/default_scene_text.h"
#include "sim/scpi_parser.h"

namespace tarnwick::sim {
namespace {

// What is wrong with one line; ParseScene adds the file and line number.
struct LineProblem {
  std::string text;
};

std::vector<std::string_view> Words(std::string_view line) {
  constexpr std::string_view kBlanks = " \t\r";
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while ((at = line.find_first_not_of(kBlanks, at)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(kBlanks, at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

void ExpectValues(const std::vector<std::string_view>& words, std::size_t expected) {
  const std::size_t given = words.size() - 1;
  if (given == expected) return;
  std::ostringstream message;
  message << CutForMessage(words[0]) << " takes " << expected << (expected == 1 ? " value" : " values")
          << ", not " << given;
  throw LineProblem{message.str()};
}

double Real(std::string_view word, std::string_view what) {
  double value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) {
    throw LineProblem{std::string(what) + " " + QuotedForMessage(word) + " is not a number"};
  }
  return value;
}

long Whole(std::string_view word, long min, long max) {
  long value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (ec != std::errc() || end != word.data() + word.size() || value < min || value > max) {
    std::ostringstream message;
    message << QuotedForMessage(word) << " is not a whole number from " << min << " to " << max;
    throw LineProblem{message.str()};
  }
  return value;
}

void ReadDirective(const std::vector<std::string_view>& words, Scene& scene) {
  const std::string_view directive = words[0];
  if (directive == "tone") {
    ExpectValues(words, 2);
    Tone tone;
    tone.frequencyHz = Real(words[1], "frequency");
    if (tone.frequencyHz < 0) throw LineProblem{"a tone's frequency cannot be negative"};
    tone.levelDbm = Real(words[2], "level");
    scene.tones.push_back(tone);
  } else if (directive == "floor") {
    ExpectValues(words, 1);
    scene.floorDbm = Real(words[1], "level");
  } else if (directive == "address") {
    ExpectValues(words, 1);
    scene.address = static_cast<int>(Whole(words[1], 0, kMaxPrimaryAddress));
  } else if (directive == "averaging-ms") {
    ExpectValues(words, 1);
    scene.averagingMs = static_cast<int>(Whole(words[1], 0, INT_MAX));
  } else if (directive == "sweep-ms") {
    ExpectValues(words, 1);
    scene.sweepMs = static_cast<int>(Whole(words[1], 0, INT_MAX));
  } else if (directive == "reply-end") {
    ExpectValues(words, 1);
    if (words[1] == "crlf") {
      scene.replyEnd = ReplyEnd::kCrLf;
    } else if (words[1] == "lf") {
      scene.replyEnd = ReplyEnd::kLf;
    } else {
      throw LineProblem{"reply-end is crlf or lf, not " + QuotedForMessage(words[1])};
    }
  } else if (directive == "silent-after") {
    ExpectValues(words, 1);
    scene.silentAfter = Whole(words[1], 0, LONG_MAX);
  } else if (directive == "scpi-error") {
    if (words.size() < 4) throw LineProblem{"scpi-error takes a header, a code and a text"};
    if (!IsScpiHeader(words[1])) {
      throw LineProblem{"the SCPI analyser has no header " + QuotedForMessage(words[1])};
    }
    ScpiFault fault{std::string(words[1]), static_cast<int>(Whole(words[2], -999, 999)), ""};
    for (std::size_t i = 3; i < words.size(); ++i) {
      fault.text += (i > 3 ? " " : "") + std::string(words[i]);
    }
    scene.scpiFaults.push_back(std::move(fault));
  } else if (directive == "registration") {
    ExpectValues(words, 1);
    // Any answer at all, so that a scene can also try the program's answer
    // to one the driver contract does not know.
    scene.registration = static_cast<int>(Whole(words[1], INT_MIN, INT_MAX));
  } else {
    throw LineProblem{"unknown directive " + QuotedForMessage(directive)};
  }
}

}  // namespace

Scene DefaultScene() { return ParseScene(DefaultSceneText(), "default.scene"); }

Scene ParseScene(std::string_view text, std::string_view sourceName) {
  Scene scene;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);

    const auto words = Words(line.substr(0, line.find('#')));
    if (words.empty()) continue;
    try {
      ReadDirective(words, scene);
    } catch (const LineProblem& problem) {
      std::ostringstream message;
      message << CutForMessage(sourceName, kQuotedPathLength) << ':' << lineNumber << ": " << problem.text;
      throw SceneError(message.str());
    }
  }
  return scene;
}

std::optional<Scene> SceneFromEnvironment() {
  try {
    const char* path = std::getenv(kSceneEnv);
    return path != nullptr && *path != '\0' ? LoadSceneFile(path) : DefaultScene();
  } catch (const SceneError& error) {
    std::fprintf(stderr, "Tarnwick simulated analyser: %s\n", error.what());
    return std::nullopt;
  }
}

Scene LoadSceneFile(const std::string& path) {
  const std::string shown = CutForMessage(path, kQuotedPathLength);
  const SmallFile file = ReadSmallFile(path, kMaxSceneBytes);
  if (!file.problem.empty()) {
    throw SceneError(shown + ": cannot read the scene file: " + file.problem);
  }
  if (file.tooLarge) {
    throw SceneError(shown + ": the scene file is larger than 1 MB; a scene is a few lines");
  }
  return ParseScene(file.text, path);
}

}  // namespace tarnwick::sim
