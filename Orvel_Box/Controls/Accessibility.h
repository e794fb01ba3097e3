#pragma once

// Hooks the application's own accessibility rules into Qt before any window exists: a password
// entry reaches assistive technology (and every other program on the accessibility bus) only
// as the dots the screen shows. Safe to call more than once.
void installAccessibility();
