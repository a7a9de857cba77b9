#pragma once

#include "widgets/AutoSizeLabel.h"

/// The label kind of the sizing panels: with word wrap on, it keeps its width.
class TLabel : public AutoSizeLabel
{
    Q_OBJECT

public:
    using AutoSizeLabel::AutoSizeLabel;
};
