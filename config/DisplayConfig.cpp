#include "config/DisplayConfig.h"

TDisplayConfig DisplayConfig;

void resetToDefaults(TDisplayConfig& cfg)
{
    cfg = TDisplayConfig{};
    cfg.DigitsIndex = 2;
}
