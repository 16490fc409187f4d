// The screens the host can open by name ("open leads.region"): a name and a factory each,
// registered by the executable at start and by tests.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/uikit/UIViewController.h"

namespace host {

using ScreenFactory = std::function<std::shared_ptr<UIViewController>()>;

// Registers (or replaces) the factory under `name`.
void registerScreen(std::string name, ScreenFactory factory);
// Removes every registration (tests).
void clearScreens();
// The registered names, sorted.
std::vector<std::string> registeredScreens();
// A new screen made by the factory of `name`; null when none is registered or it made none.
std::shared_ptr<UIViewController> makeScreen(const std::string& name);

// Pushes a new screen of `name` onto the key window's root navigation controller, without
// animation. Returns "" on success, else why it could not.
std::string openScreen(const std::string& name);
// Pops the top screen of that navigation controller; "" on success, else why not.
std::string closeTopScreen();
// What a person sees on top: the class of the screen shown (one presented over the navigation
// included) and its title in quotes when it has one; "no screen" when there is none.
std::string describeTopScreen();

} // namespace host
