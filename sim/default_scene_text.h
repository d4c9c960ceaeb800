// The text of scenes/default.scene, compiled in so that the built-in scene
// and the shipped file are one and the same.
#ifndef TARNWICK_SIM_DEFAULT_SCENE_TEXT_H_
#define TARNWICK_SIM_DEFAULT_SCENE_TEXT_H_

#include <string_view>

namespace tarnwick::sim {

std::string_view DefaultSceneText();

}  // namespace tarnwick::sim

#endif  // TARNWICK_SIM_DEFAULT_SCENE_TEXT_H_
