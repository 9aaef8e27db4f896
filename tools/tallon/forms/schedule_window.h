// tallon's window: the schedule as a table with Add, Edit and Remove. The
// agent runs behind it (when no other agent does) and stays when the window
// is closed while recordings are planned; Lyra's Schedule command brings
// the window back.
#pragma once

class TAgent;

// Shows the window and runs the event loop; the exit code.
int RunScheduleWindow(TAgent &agent);
