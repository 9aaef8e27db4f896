#include "channels/fm_memories.h"

#include <algorithm>
#include <cmath>

QString FormatMHz(int32_t frequency)
{
    const int64_t f = std::max<int64_t>(frequency, 0);
    QString fraction = QString::number(f % 1000000).rightJustified(6, '0');
    while (fraction.size() > 1 && fraction.endsWith('0'))
        fraction.chop(1);
    return QString::number(f / 1000000) + "." + fraction;
}

int DialNeedleX(int32_t frequency, int32_t low, int32_t high, int width)
{
    if (width < 1 || high <= low)
        return 1;
    const double x = double(int64_t(frequency) - low) / double(int64_t(high) - low) * width;
    // Halves go to the even neighbour, as the dial's rounding always did.
    const double r = std::nearbyint(x);
    if (r < 1)
        return 1;
    return r > width ? width : int(r);
}

int FirstFreeFMMemory(const TFMList &memories)
{
    for (int n = 1; n <= FMMemoryCount; ++n)
        if (memories[n].Frequency == 0)
            return n;
    return 1;
}

bool StoreFMMemory(TFMList &memories, int n, int32_t frequency, const QString &name)
{
    if (n < 1 || n > FMMemoryCount || frequency <= 0)
        return false;
    memories[n].Frequency = frequency;
    memories[n].Name = name;
    return true;
}
