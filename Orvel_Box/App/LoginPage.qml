import OrvelBox.Core

// The sign-in form, in a file of its own so that the root view can load it after the first
// frame instead of compiling it (and the controls style it uses) before.
GlobalLogin {}
