import QtQuick
import OrvelBox.Core
import OrvelBox.Timetable

// The offline state, in a file of its own so that the root view compiles it (and the controls
// style it uses) only when it is needed, never before the first frame. Below its notice, the
// weeks this machine keeps for the account, read from the local store alone.
GlobalOffline {
    id: offline
    storedWeek: stored.hasStoredWeeks ? storedView : null

    ScheduleScreenModel {
        id: stored
        co: offline.co
        storeOnly: true
    }
    Component {
        id: storedView
        ScheduleScreen {
            objectName: "storedTimetable"
            co: offline.co
            storeOnly: true
        }
    }
}
