#pragma once
// The show's set-up, which the program's entry and the tools that draw the show share: the
// values the framework starts with, then the show's one scene and the images loaded ahead.

class Caleidoscope;
class fw_Framework;

// The framework's start-up values for this production.
struct ShowSettings {
    const char* musicPath;
    const char* applicationName;
    const char* title;
    float scale;
    float aspect;
};
inline constexpr ShowSettings kShowSettings = {"./data/demo.mp3", "zendra", "quiet zendra", 1.0f, 1.6f};

// On the started framework: the show's scene ("caleidoscope.xml") made and appended to the
// scene list, then the images loaded ahead, each registered under its name. The scene is
// the list's: fw_Framework::DeleteScenes deletes it.
Caleidoscope* SetUpShow(fw_Framework& framework);
