#include "quillon/ado/ReadWatch.h"

namespace qln::ado {
namespace {

thread_local ReadWatch* innermost = nullptr;

} // namespace

ReadWatch::ReadWatch(Seen seen) : m_seen(std::move(seen)), m_outer(innermost)
{
    innermost = this;
}

ReadWatch::~ReadWatch()
{
    innermost = m_outer;
}

ReadWatch* ReadWatch::current()
{
    return innermost;
}

} // namespace qln::ado
