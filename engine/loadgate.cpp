#include "engine/loadgate.h"

namespace engine {

bool LoadGate::refresh()
{
    if (m_busy) {
        m_due = true;
        return false;
    }
    m_busy = true;
    return true;
}

bool LoadGate::finished()
{
    if (m_due) {
        m_due = false;
        return true;
    }
    m_busy = false;
    return false;
}

void LoadGate::reset()
{
    m_busy = false;
    m_due = false;
}

}  // namespace engine
