#pragma once

#include "extension/ControlServer.h"
#include "extension/ControlService.h"
#include "extension/ExtensionState.h"
#include "extension/RelayQueue.h"
#include "extension/TransparentProxyProvider.h"
#include "network/control/SocketExtensionControl.h"

#include <asio/executor_work_guard.hpp>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace quorvex::test {

/// A private folder under /tmp, removed with everything in it on destruction.
class ScratchFolder final {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvex-ext-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

/// The daemon's control side in-process: the provider on its relay queue, the control service
/// over a state folder, and the control server on its own thread, on a socket in `folder`.
/// Destroying it stops the server before the service and provider go.
class ControlDaemon final {
public:
    explicit ControlDaemon(const std::filesystem::path& folder, ControlService::Options options = {},
                           ControlServer::Limits limits = {})
        : m_state(m_queue.clock())
        , m_provider(m_queue, m_state)
        , m_socket((folder / "control.sock").string()) {
        if (options.stateFolder.empty())
            options.stateFolder = folder / "state";
        m_service = std::make_unique<ControlService>(std::move(options), m_provider);
        m_server = std::make_unique<ControlServer>(m_context, *m_service, m_socket, limits);
        m_server->start();
        m_thread = std::thread([this] { m_context.run(); });
    }
    ~ControlDaemon() {
        asio::post(m_context, [this] { m_server->stop(); });
        m_work.reset();
        m_thread.join();
        m_server.reset();
    }

    const std::string& socketPath() const { return m_socket; }
    ControlService& service() { return *m_service; }
    RelayQueue& queue() { return m_queue; }
    ExtensionState& state() { return m_state; }
    SocketExtensionControl client() const { return SocketExtensionControl(m_socket, 5); }

private:
    RelayQueue m_queue;
    ExtensionState m_state;
    TransparentProxyProvider m_provider;
    std::string m_socket;
    asio::io_context m_context;
    asio::executor_work_guard<asio::io_context::executor_type> m_work = asio::make_work_guard(m_context);
    std::unique_ptr<ControlService> m_service;
    std::unique_ptr<ControlServer> m_server;
    std::thread m_thread;
};

} // namespace quorvex::test
