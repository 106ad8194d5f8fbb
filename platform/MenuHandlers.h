#pragma once

#include <QHash>
#include <QString>
#include <functional>
#include <optional>

namespace platform {

// Menu command handlers by command name. A handler returns true when it has handled the command;
// run gives nullopt when no handler is registered for it.
class MenuHandlers final
{
public:
    using Handler = std::function<bool()>;

    void add(const QString& command, Handler handler) { m_handlers.insert(command, std::move(handler)); }

    std::optional<bool> run(const QString& command) const
    {
        const auto found = m_handlers.constFind(command);
        if (found == m_handlers.constEnd())
            return std::nullopt;
        return (*found)();
    }

private:
    QHash<QString, Handler> m_handlers;
};

} // namespace platform
