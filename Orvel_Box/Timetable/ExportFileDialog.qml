import QtQuick
import QtQuick.Dialogs

// The export's save dialog, in a file of its own that the timetable loads by address when the
// export is first asked for: the dialogs module is not loaded before the first frame.
FileDialog {
    title: "Экспорт в календарь"
    fileMode: FileDialog.SaveFile
    defaultSuffix: "ics"
    nameFilters: ["Календарь iCalendar (*.ics)"]
}
