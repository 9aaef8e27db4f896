// The answer to the status request of the local socket (lyra-remote status).
// Reading the state changes nothing in the program.
#pragma once

#include <QByteArray>
#include <QJsonObject>

QJsonObject RemoteStatus();
// RemoteStatus as compact JSON.
QByteArray RemoteStatusJson();
