// The controls of the toolkit, one header per family:
//
//   ControlBaseWin32.h    Control, the base of every control (events,
//                         place, font and colours, reflection)
//   PanelsWin32.h         Panel, ToolBar, Label, StaticText, Bevel,
//                         GroupBox, Shape
//   ButtonsWin32.h        Button, SpeedButton, RadioButton, CheckBox
//   EditsWin32.h          Edit, ListBox
//   RangeControlsWin32.h  ScrollBar, TrackBar, UpDown
//   PictureBoxWin32.h     PictureBox
//
// Drag and drop between controls is DragTrackerWin32.h, owned by the form.
#pragma once

#include "platform/ButtonsWin32.h"
#include "platform/ControlBaseWin32.h"
#include "platform/EditsWin32.h"
#include "platform/PanelsWin32.h"
#include "platform/PictureBoxWin32.h"
#include "platform/RangeControlsWin32.h"
