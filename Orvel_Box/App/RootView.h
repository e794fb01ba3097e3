#pragma once
class QQmlApplicationEngine;

// Builds the application's window in `engine`: the one way the program and its end-to-end
// tests start the interface, so the tests drive what users get.
void loadRootView(QQmlApplicationEngine& engine);
