#pragma once
// A control's name and its stable id, as the windows' control tables list
// them: tests and screen readers find each control by its name.
//
// Each window lists its controls once, as X(name, id) entries of a list
// macro; ORVO_CONTROL_ID turns that list into the id constants and
// ORVO_CONTROL_NAME into the table of names.
namespace orvo::ctl {

struct ControlName {
    const char* name;
    int id;
};

}  // namespace orvo::ctl

#define ORVO_CONTROL_ID(name, id) name = id,
#define ORVO_CONTROL_NAME(name, id) {#name, name},
