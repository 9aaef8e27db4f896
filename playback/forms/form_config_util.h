// Small helpers shared by the settings dialog's pages.
#pragma once

#include <QAbstractButton>
#include <QString>
#include <QStringList>
#include <cstdint>

class QGridLayout;
class QLabel;
class QWidget;

// The language's text of a key for a window title or a button (with its
// hint); the built-in text stays when the language has none.
void ConfigCaption(QWidget *window, const char *key);
void ConfigCaption(QAbstractButton *button, const char *key);

QLabel *ConfigLabel(const QString &text, QWidget *parent = nullptr);

// The ten video standards the grids and the input standard boxes offer,
// by standard index 0..9.
QStringList StandardNames();

// Audio-mode names under the channel table's TV-system code.
QStringList AudioModeNames(uint8_t systemCode);

// A row of the form "label: widget" appended to a grid layout.
void AddRow(QGridLayout *grid, const QString &label, QWidget *field);
