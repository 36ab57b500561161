#include "serial/PortOwner.h"

#include <cerrno>
#include <cstring>

#include "serial/DeviceHolders.h"
#include "settings/TextToNumber.h"
#include "settings/Translation.h"

namespace {

// Why a port could not be opened, in one line for the user: `error` is the
// system's error number of the failed open of `device` at `baud`.
std::string OpenFailureReason(const std::string& device, int error, int baud) {
    switch (error) {
        case EACCES:
        case EPERM:
            return tx::Format(tx::Tr("CPortOwner",
                                     "没有权限打开 %1：请把当前用户加入 dialout 组（sudo usermod "
                                     "-aG dialout $USER），然后重新登录。"),
                              device);
        case EBUSY: {
            // The board's end of a pseudo-terminal holds it too, and is no rival.
            const std::string holders = DescribeHolders(FindCompetingHolders(device));
            if (holders.empty())
                return tx::Format(tx::Tr("CPortOwner", "%1 正被另一个程序占用。"), device);
            return tx::Format(tx::Tr("CPortOwner", "%1 正被另一个程序占用：%2。"), device, holders);
        }
        case ENOENT:
        case ENODEV:
        case ENXIO:
            if (device.empty())
                return tx::Tr("CPortOwner", "该串口号没有对应的设备。");
            return tx::Format(
                tx::Tr("CPortOwner", "设备 %1 不存在：摄像头板没有连接，或已被拔出。"), device);
        case EINVAL:
            return tx::Format(tx::Tr("CPortOwner", "波特率 %1 无效。"), baud);
        case ENOTTY:
            return tx::Format(tx::Tr("CPortOwner", "%1 不是串口设备。"), device);
        default:
            return tx::Format(tx::Tr("CPortOwner", "%1：%2。"), device, std::strerror(error));
    }
}

}  // namespace

CPortOwner::CPortOwner() : m_bPortOpen(0) {}

CPortOwner::~CPortOwner() = default;

int CPortOwner::IsPortOpen() const {
    return m_bPortOpen.load();
}

int CPortOwner::OpenPort() {
    return OpenPort(CurrentChoice());
}

void CPortOwner::SetReplayDevice(const std::string& path, int baud) {
    m_strReplayDevice = path;
    m_nReplayBaud = baud;
}

CPortChoice CPortOwner::CurrentChoice() {
    CPortChoice choice;
    if (!m_strReplayDevice.empty()) {
        choice.baudSelection = 1;
        choice.baudText = std::to_string(m_nReplayBaud);
        choice.portSelection = 1;
        choice.portText = m_strReplayDevice;
        choice.device = m_strReplayDevice;
        return choice;
    }
    choice.baudSelection = GetBaudSelection();
    choice.baudText = GetBaudText();
    choice.portSelection = GetPortSelection();
    choice.portText = GetPortText();
    choice.device = GetPortDevice();
    return choice;
}

int CPortOwner::OpenPort(const CPortChoice& choice) {
    std::string message;
    if (choice.baudSelection == 0) {
        message = tx::Tr("CPortOwner", "请选择波特率!");
    } else {
        // No range check: a text without digits gives 0, which the open refuses.
        const int baud = TextToNumber(choice.baudText);
        if (choice.portSelection <= 0) {
            message = tx::Tr("CPortOwner", "请选择串口号!");
        } else {
            const std::string& name = choice.portText;
            const int port = choice.device.empty()
                                 ? TextToNumber(name.size() > 3 ? name.substr(3) : std::string())
                                 : 0;
            intptr_t handle;
            std::string device;
            int error;
            {
                std::lock_guard<std::mutex> lock(m_openLock);
                handle = choice.device.empty()
                             ? m_port.Open(static_cast<uint32_t>(baud), port)
                             : m_port.OpenDevice(static_cast<uint32_t>(baud), choice.device);
                if (handle != 0 && handle != -1)
                    m_bPortOpen = 1;
                device = m_port.m_strDevice;
                error = m_port.m_nLastError;
            }
            if (handle != 0 && handle != -1)
                return 1;
            // A device named by its path has no port number: the path stands there.
            const std::string reason = OpenFailureReason(device, error, baud);
            message =
                choice.device.empty()
                    ? tx::Format(tx::Tr("CPortOwner", "打开串口失败!串口号 %1 ，波特率 %2 \n%3"),
                                 port, baud, reason)
                    : tx::Format(tx::Tr("CPortOwner", "打开串口失败!串口 %1 ，波特率 %2 \n%3"),
                                 choice.device, baud, reason);
        }
    }
    ShowPortMessage(message, "TavixTool");
    return 0;
}

void CPortOwner::ClosePort() {
    std::lock_guard<std::mutex> lock(m_openLock);
    m_port.Close();
    m_bPortOpen = 0;
}

void CPortOwner::OnReadFailed() {
    std::lock_guard<std::mutex> lock(m_openLock);
    if (m_port.CloseIfBroken())
        m_bPortOpen = 0;
}

namespace {
std::atomic<CPortOwner*> g_owner{nullptr};
}

CPortOwner* GetPortOwner() {
    return g_owner.load();
}

void SetPortOwner(CPortOwner* owner) {
    g_owner.store(owner);
}
