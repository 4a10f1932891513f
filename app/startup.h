// The program's spine from entry to exit: the engine's application commands around the start-up
// sequence (single instance, application object, archive, options, script objects, first window,
// loop).
#pragma once

#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pellanor::ui {
class TinyWindow;
}

namespace pellanor::app {

// The command line as the program was given it, kept for the life of the process; the pages read
// it through the engine and NativeUtil.
const std::vector<std::u16string>& applicationArguments();

using LoopFunction = std::function<int()>;

// Runs the start-up sequence and then `loop`. Answers 0 when another copy already runs (after
// asking it to show itself), otherwise the loop's result. `firstWindow` receives the window of
// the loading page.
int startUp(const LoopFunction& loop, std::shared_ptr<ui::TinyWindow>& firstWindow);

// Program entry: hands the arguments (UTF-8, the program's name first) to the engine, runs
// startUp with the engine's loop, shuts the engine down and answers the exit code.
int run(const std::vector<std::string>& arguments);

}  // namespace pellanor::app
