#pragma once

// The grid's event commands, each one action shared by the toolbar button, the cell menus,
// the cell's mouse and keys and the search page's list.

class QAction;

namespace qcal {

struct EventActions {
    QAction* add = nullptr;     // a new event on the selected cell's day
    QAction* edit = nullptr;    // edit the selected event
    QAction* remove = nullptr;  // delete the selected event
};

}  // namespace qcal
