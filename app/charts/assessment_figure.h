#pragma once
// Pictures of a baseline self-assessment (tools/self_assignment.h,
// tools/simulated_assessment.h), drawn from the assessment's own numbers.
#include <QString>

#include "chart_figure.h"
#include "assessment/self_assignment.h"
#include "assessment/simulated_assessment.h"

namespace mixora::charts {

// Per stock or group of one level: the share of its fish assigned back to
// it and their mean probability of it, first unit at the top. A group level
// adds its confusion table as a heat map, each row shaded by the share of
// the true group's fish in every assigned group.
ChartFigure SelfAssignmentFigure(const SelfAssignmentLevel& level, const QString& title);

// A panel per group: every simulated mixture's estimate and 95% interval
// against its true share, with the line where they agree, and the group's
// bias, RMSE and coverage. Without per-mixture numbers each group shows its
// mean estimate against its mean truth.
ChartFigure SimulatedAssessmentFigure(const SimulatedAssessment& result, const QString& title);

}  // namespace mixora::charts
