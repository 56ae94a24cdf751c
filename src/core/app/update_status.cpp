#include "core/app/update_status.hpp"

namespace quenta {

std::ostream& operator<<(std::ostream& out, const UpdateStatus& status) {
    switch (status.kind) {
        case UpdateStatus::Kind::idle:
            return out << "idle";
        case UpdateStatus::Kind::checking:
            return out << "checking";
        case UpdateStatus::Kind::upToDate:
            return out << "upToDate";
        case UpdateStatus::Kind::available:
            out << "available(";
            if (status.release) {
                out << *status.release;
            }
            return out << ")";
        case UpdateStatus::Kind::failed:
            return out << "failed";
    }
    return out;
}

UpdateStatus statusOnAppearance(const UpdateStatus& current,
                                const std::optional<AppRelease>& cached) {
    return cached ? UpdateStatus::available(*cached) : current;
}

UpdateStatus statusWhenCheckStarts(const UpdateStatus& current) {
    return current.isAvailable() ? current : UpdateStatus::checking();
}

UpdateStatus statusWhenCheckEnds(const UpdateStatus& current,
                                 const UpdateChecker::CheckResult& result) {
    if (!result.ok()) {
        return current.isAvailable() ? current : UpdateStatus::failed();
    }
    if (result.value()) {
        return UpdateStatus::available(*result.value());
    }
    return UpdateStatus::upToDate();
}

UpdateStatusText updateStatusText(const UpdateStatus& status, const Localizer& localizer) {
    using Style = UpdateStatusText::Style;
    switch (status.kind) {
        case UpdateStatus::Kind::idle:
            return {};
        case UpdateStatus::Kind::checking:
            return {localizer.localized("正在检查…"), Style::secondary};
        case UpdateStatus::Kind::upToDate:
            return {localizer.localized("已是最新版本"), Style::secondary};
        case UpdateStatus::Kind::available:
            return {localizer.localized("发现新版本 v") +
                        (status.release ? status.release->version : std::string()),
                    Style::accent};
        case UpdateStatus::Kind::failed:
            return {localizer.localized("检查失败，请稍后再试"), Style::secondary};
    }
    return {};
}

}  // namespace quenta
