import OrvelBox.Core

// The offline state, in a file of its own so that the root view compiles it (and the controls
// style it uses) only when it is needed, never before the first frame.
GlobalOffline {}
