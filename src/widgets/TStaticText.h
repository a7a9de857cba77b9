#pragma once

#include "widgets/AutoSizeLabel.h"

/// The static-text kind of the sizing panels: measured as a one-line caption whatever its word wrap.
class TStaticText : public AutoSizeLabel
{
    Q_OBJECT

public:
    using AutoSizeLabel::AutoSizeLabel;
};
