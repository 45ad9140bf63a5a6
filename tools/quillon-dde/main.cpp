// quillon-dde: executes one command on a service|topic, for scripts and for trying the link
// by hand. Exit 0 acknowledged, 1 refused (the reason on standard error), 2 no conversation.
#include "quillon/dde/Dde.h"

#include "quillon/tools/CommandLine.h"

#include <iostream>

int main(int argc, char** argv)
{
    CLI::App app {"Executes a command on a conversation topic (ArcView System, Quillon messageToVB)"};
    std::string service, topic, command;
    int timeoutMs = 30000;
    app.add_option("service", service, "service, e.g. ArcView")->required();
    app.add_option("topic", topic, "topic, e.g. System")->required();
    app.add_option("command", command, "the command, sent as it is")->required();
    app.add_option("--timeout", timeoutMs, "milliseconds to wait for the answer")->capture_default_str();
    if (const auto status = qln::tools::parseCommandLine(app, argc, argv, "quillon-dde"))
        return *status;
    try {
        qln::dde::Conversation conversation(service, topic, std::chrono::milliseconds(timeoutMs));
        const qln::dde::Reply reply = conversation.execute(command);
        if (!reply.accepted) {
            std::cerr << "refused: " << reply.reason << '\n';
            return 1;
        }
        return 0;
    } catch (const qln::dde::DdeError& e) {
        std::cerr << "quillon-dde: " << e.what() << '\n';
        return 2;
    }
}
