// The debrief sheet: a session as a storyboard on A4 for black-and-white
// printing, several trials a page, each with its small profile over the
// target and the previous one, its setting, what moved, what it cost, its
// verdict, the best single move and the trainer's comment.
#pragma once

#include "replay.h"

#include <QString>

#include <vector>

bool writeDebriefSheet(const QString& pdfFile, const std::vector<ReplayStep>& steps, const Scenario& scenario);
