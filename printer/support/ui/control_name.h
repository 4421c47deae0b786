#pragma once
// A control's name and its stable id, as the windows' control tables list
// them: tests and screen readers find each control by its name.
namespace orvo::ctl {

struct ControlName {
    const char* name;
    int id;
};

}  // namespace orvo::ctl
