// Unattended recordings handed over by the scheduling agent (tallon): the
// request in "Relay.rec", the scheduled-recording mode's start and stop
// (installed as ModeEngines.Scheduled), the reports to the agent on its
// socket, and starting the agent for the Schedule command.
#pragma once

#include <QString>
#include <QStringList>

void InitializeScheduledModule();
void FinalizeScheduledModule();

// "Relay.rec" in the program folder.
QString RelayFilePath();

// Message 3025: from TV preview or FM radio, reads the request, makes the
// TV/FM switch it needs and enters ModeScheduledCapture; from any other
// mode the agent is told the program is busy (3028 with 3).
void HandleScheduledRequest();

// Reports to the agent's socket. Sent reports wait for the agent to take
// them, posted ones do not; without an agent both are lost, silently.
void SendToAgent(int message, int wParam = 0);
void PostAgentMessage(int message, int wParam = 0);

// The interface language changed: the agent is told (3026).
void TellAgentLanguageChanged();

// The agent program: `tallon` beside the program, in the build tree or on
// PATH. Empty when none is found.
QString SchedulingAgentProgram();
// Starts the agent with "srec_tv" and the program folder; false when it
// cannot be started.
bool StartSchedulingAgent();
