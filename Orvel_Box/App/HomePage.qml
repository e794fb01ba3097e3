import OrvelBox.Home

// The home screen, in a file of its own so that the root view can load it (and compile the
// home and timetable modules) once someone is signed in, not before the first frame.
GlobalHome {}
