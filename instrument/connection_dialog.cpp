#include "instrument/connection_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <stdexcept>

#include "host/core/number_text.h"
#include "host/qt/numeric_entry.h"
#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "host/qt/layout.h"
#include "instrument/core/link_ops.h"
#include "instrument/entry_rules.h"
#include "instrument/link_progress.h"
#include "host/qt/modal.h"
#include "host/core/text.h"

namespace instrument {

using host::Call;
using host::ctl;
using host::Handles;
using host::Value;

namespace {

bool same(const std::string& a, const std::string& b) { return host::toLower(a) == host::toLower(b); }

// The type the dialog model allows: "b" offers no TCP/IP, "c" no RS-232.
std::string allowedType(const std::string& type, int model) {
    if (model == 1 && same(type, "TCPIP")) return "GPIB";
    if (model == 2 && same(type, "RS232")) return "GPIB";
    return type;
}

const Value& fieldOf(const Value& record, std::string_view name) {
    const Value* v = record.find(name);
    if (!v) throw std::runtime_error("the link settings have no field " + std::string(name));
    return *v;
}

double numberOf(const Value& record, std::string_view sub, std::string_view name) {
    const Value& v = fieldOf(fieldOf(record, sub), name);
    if (!v.isNumeric() || v.numel() != 1)
        throw std::runtime_error("configuration." + std::string(sub) + "." + std::string(name) + " must be one number, not " +
                                 v.describe());
    return v.real().front();
}

std::string textOf(const Value& record, std::string_view sub, std::string_view name) {
    const Value& v = sub.empty() ? fieldOf(record, name) : fieldOf(fieldOf(record, sub), name);
    if (!v.isText()) throw std::runtime_error("configuration field " + std::string(name) + " must be text, not " + v.describe());
    return v.text();
}

Value& subRecord(Value& record, const std::string& name) {
    Value* v = record.find(name);
    if (!v || !v->isRecord()) return record.set(name, Value::record());
    return *v;
}

std::vector<double> baudRates(QComboBox* list) {
    std::vector<double> rates;
    for (int i = 0; i < list->count(); ++i) {
        const auto n = host::textToNumbers(list->itemText(i).toStdString());
        if (n.size() == 1) rates.push_back(n.front());
    }
    return rates;
}

void setItems(QComboBox* box, const std::vector<const char*>& items) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (const char* i : items) box->addItem(i);
}

// The dialog's link fields (UpdateConfig) as the configuration the link is made from.
model::Configuration linkFields(const Value& fields) {
    model::Configuration c;
    c.type = fields.find("type")->text();
    model::fromValue(*fields.find("GPIB"), c.GPIB);
    model::fromValue(*fields.find("RS232"), c.RS232);
    model::fromValue(*fields.find("TCPIP"), c.TCPIP);
    return c;
}

}  // namespace

ConnectionDialog::ConnectionDialog(host::Registry& registry, hwio::Options& linkOptions, const int& progressDelayMs)
    : registry_(registry), linkOptions_(linkOptions), progressDelayMs_(progressDelayMs) {
    host::Module& m = registry_.module(kConnectionModule);
    m.add("pmConnection_Callback", [this](const Call& c) {
        lastConnection_ = static_cast<int>(ctl(c.source).value());
        showControls(c.handles);
    });
    for (const char* quiet : {"pmGpibBoard_Callback", "pmPrimaryAddress_Callback", "pmSecondaryAddress_Callback",
                              "pmPortNumber_Callback", "pmBaudRate_Callback", "editTCPIPAddress_Callback"})
        m.add(quiet, [](const Call&) {});
    m.add("pmHandShake_Callback", [this](const Call& c) { UpdateRS232HandShakingToolTip(c.handles); });
    m.add("editTimeout_Callback", [this](const Call& c) { editTimeout(c.handles); });
    m.add("pbCheckHardware_Callback", [this](const Call& c) { pbCheckHardware(c.handles); });
    m.add("pbOK_Callback", [](const Call& c) { host::finishWait(c.handles.window(), "OK"); });
    m.add("pbCancel_Callback", [](const Call& c) { host::finishWait(c.handles.window(), "Cancel"); });
    m.add("showControls", [this](const Call& c) { showControls(c.handles); });
    m.add("EnableGuiObjects", [this](const Call& c) { showControls(c.handles); });
    m.add("UpdateRS232HandShakingToolTip", [this](const Call& c) { UpdateRS232HandShakingToolTip(c.handles); });
}

ConnectionDialog::~ConnectionDialog() {
    registry_.remove(kConnectionModule);
    delete window_.data();
}

Value ConnectionDialog::initConfig() {
    Value gpib = Value::record();
    gpib.set("board", 0);
    gpib.set("primary", 19);
    gpib.set("secondary", -1);
    Value rs = Value::record();
    rs.set("port", 1);
    rs.set("baudrate", 9600);
    rs.set("handshake", "Xon/Xoff");
    Value tcp = Value::record();
    tcp.set("address", "0.0.0.0");
    tcp.set("board", 0);
    Value c = Value::record();
    c.set("type", "GPIB");
    c.set("GPIB", gpib);
    c.set("RS232", rs);
    c.set("TCPIP", tcp);
    return c;
}

Value ConnectionDialog::reStructureConfig(Value oldConfig, const Handles& handles) {
    if (!oldConfig.isRecord() || !oldConfig.hasField("Connection")) return oldConfig;
    auto number = [&oldConfig](const char* name) {
        const Value& v = fieldOf(oldConfig, name);
        if (!v.isNumeric() || v.numel() != 1) throw std::runtime_error(std::string("configuration.") + name + " must be one number");
        return v.real().front();
    };
    std::string handshake = "Xon/Xoff";
    if (auto* list = qobject_cast<QComboBox*>(handles.find("pmHandShake"))) {
        const double item = number("HandShake") + 1;
        if (item < 1 || item > list->count() || item != std::floor(item))
            throw std::runtime_error("configuration.HandShake " + host::numberText(item - 1) + " names no handshake item");
        handshake = list->itemText(static_cast<int>(item) - 1).toStdString();
    }
    Value gpib = Value::record();
    gpib.set("board", number("GPIBboard"));
    gpib.set("primary", number("Primary"));
    gpib.set("secondary", number("Secondary"));
    Value rs = Value::record();
    rs.set("port", number("RS232Port"));
    rs.set("baudrate", number("BaudRate"));
    rs.set("handshake", handshake);
    Value tcp = Value::record();
    tcp.set("address", "0.0.0.0");
    tcp.set("board", 0);
    const std::string type = number("Connection") == 1 ? "RS232" : "GPIB";

    static const char* const flat[] = {"Connection", "GPIBboard", "Primary", "Secondary", "RS232Port", "HandShake", "BaudRate"};
    Value out = Value::record();
    for (std::size_t i = 0; i < oldConfig.fieldCount(); ++i) {
        const std::string& name = oldConfig.fieldName(i);
        if (std::find(std::begin(flat), std::end(flat), name) == std::end(flat)) out.set(name, oldConfig.fieldValue(i));
    }
    out.set("type", type);
    out.set("GPIB", gpib);
    out.set("RS232", rs);
    out.set("TCPIP", tcp);
    return out;
}

int ConnectionDialog::ConvertStringToIndex(QComboBox* control, std::string text) {
    if (same(text, "TCPIP")) text = "TCP/IP";
    for (int i = 0; i < control->count(); ++i)
        if (same(control->itemText(i).toStdString(), text)) return i + 1;
    return 1;
}

std::string ConnectionDialog::ConvertIndexToString(QComboBox* control, double index) {
    if (control->count() == 0) return {};
    const int item = index < 1 || index > control->count() ? 1 : static_cast<int>(index);
    const std::string text = control->itemText(item - 1).toStdString();
    return same(text, "TCP/IP") ? "TCPIP" : text;
}

std::vector<QObject*> ConnectionDialog::addControls(QWidget* parent, const char* name) {
    QWidget* partial = host::loadLayout(name, nullptr);
    auto* from = partial->findChild<QGridLayout*>();
    auto* into = qobject_cast<QGridLayout*>(parent->findChild<QWidget*>("pnlLink")->layout());
    if (!from || !into) throw std::runtime_error(std::string("the layout ") + name + " has no grid of controls");
    std::vector<QWidget*> controls;
    for (int i = 0; i < from->count(); ++i)
        if (QWidget* w = from->itemAt(i)->widget(); w && !w->objectName().isEmpty()) controls.push_back(w);
    const Handles dialog(parent);
    std::vector<QObject*> list;
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        QWidget* w = *it;
        if (QObject* existing = dialog.find(w->objectName().toStdString())) {
            list.insert(list.begin(), existing);
            continue;
        }
        int row = 0, col = 0, rowSpan = 1, colSpan = 1;
        from->getItemPosition(from->indexOf(w), &row, &col, &rowSpan, &colSpan);
        // Every kind of link fills the same cells below the connection choice: only one kind is
        // shown at a time.
        into->addWidget(w, row + 1, col, rowSpan, colSpan);
        list.insert(list.begin(), w);
        const QString op = w->property("callback").toString();
        const QString own = w->property("module").toString();
        if (!op.isEmpty())
            host::bindCallback(w, parent, own.isEmpty() ? parent->property("module").toString() : own, op, registry_);
    }
    delete partial;
    return list;
}

void ConnectionDialog::showControls(const Handles& h) {
    for (auto* list : {&handlesGPIB_, &handlesRS232_, &handlesTCPIP_})
        for (QObject* o : *list) ctl(o).setVisible(false);
    const std::string type = ConvertIndexToString(h.get<QComboBox>("pmConnection"), ctl(h["pmConnection"]).value());
    const auto& on = same(type, "GPIB") ? handlesGPIB_ : same(type, "RS232") ? handlesRS232_ : handlesTCPIP_;
    for (QObject* o : on) ctl(o).setVisible(true);
}

void ConnectionDialog::UpdateConnectionSelections(const Handles& h, const Value&) {
    auto* box = h.get<QComboBox>("pmConnection");
    if (model_ == 1) setItems(box, {"RS232", "GPIB"});
    else if (model_ == 2) setItems(box, {"GPIB", "TCP/IP"});
    else setItems(box, {"RS232", "GPIB", "TCP/IP"});
}

void ConnectionDialog::UpdateGuiObjects(const Handles& h, const Value& record) {
    try {
        Value config = record;
        config.set("type", allowedType(textOf(config, "", "type"), model_));
        UpdateConnectionSelections(h, config);
        auto* connection = h.get<QComboBox>("pmConnection");
        ctl(connection).setValue(ConvertStringToIndex(connection, textOf(config, "", "type")));
        ctl(h["pmGpibBoard"]).setValue(numberOf(config, "GPIB", "board") + 1);
        ctl(h["pmPrimaryAddress"]).setValue(numberOf(config, "GPIB", "primary") + 1);
        ctl(h["pmSecondaryAddress"]).setValue(numberOf(config, "GPIB", "secondary") + 2);
        ctl(h["pmPortNumber"]).setValue(numberOf(config, "RS232", "port"));

        auto* baud = h.get<QComboBox>("pmBaudRate");
        const std::string rate = host::numberText(numberOf(config, "RS232", "baudrate"));
        int item = baud->findText(QString::fromStdString(rate)) + 1;
        if (item == 0) {
            // A rate the list does not offer shows as the nearest one it does.
            const auto rates = baudRates(baud);
            double best = INFINITY;
            for (std::size_t i = 0; i < rates.size(); ++i)
                if (std::abs(rates[i] - numberOf(config, "RS232", "baudrate")) < best) {
                    best = std::abs(rates[i] - numberOf(config, "RS232", "baudrate"));
                    item = static_cast<int>(i) + 1;
                }
        }
        ctl(baud).setValue(item);

        auto* handshake = h.get<QComboBox>("pmHandShake");
        const std::string wanted = textOf(config, "RS232", "handshake");
        int hs = 2;  // Xon/Xoff, the default, when the text matches no item
        for (int i = 0; i < handshake->count(); ++i)
            if (same(handshake->itemText(i).toStdString(), wanted)) hs = i + 1;
        ctl(handshake).setValue(hs);
        ctl(h["editTCPIPAddress"]).setString(textOf(config, "TCPIP", "address"));
        lastConnection_ = static_cast<int>(ctl(connection).value());
    } catch (const std::exception& e) {
        showStatus(h, e.what());
    }
}

Value ConnectionDialog::UpdateConfig(const Handles& h) {
    Value gpib = Value::record();
    gpib.set("board", ctl(h["pmGpibBoard"]).value() - 1);
    gpib.set("primary", ctl(h["pmPrimaryAddress"]).value() - 1);
    gpib.set("secondary", ctl(h["pmSecondaryAddress"]).value() - 2);
    Value rs = Value::record();
    rs.set("port", ctl(h["pmPortNumber"]).value());
    const auto rate = host::textToNumbers(ctl(h["pmBaudRate"]).string());
    rs.set("baudrate", rate.size() == 1 ? rate.front() : NAN);
    rs.set("handshake", ctl(h["pmHandShake"]).string());
    Value tcp = Value::record();
    tcp.set("address", ctl(h["editTCPIPAddress"]).string());
    tcp.set("board", 0);
    Value c = Value::record();
    c.set("type", ConvertIndexToString(h.get<QComboBox>("pmConnection"), ctl(h["pmConnection"]).value()));
    c.set("GPIB", gpib);
    c.set("RS232", rs);
    c.set("TCPIP", tcp);
    return c;
}

void ConnectionDialog::UpdateRS232HandShakingToolTip(const Handles& h) {
    const double item = ctl(h["pmHandShake"]).value();
    std::string third = "  Receive Pace  = None", fourth = "  RTS/CTS       = Off";
    if (item == 2) third = "  Receive Pace  = Xon";
    if (item == 3) fourth = "  RTS/CTS       = RTS/CTS Pacing";
    const std::string tip = "Set the following Instrument Parameters\r\n  Transmit Pace = None\r\n" + third + "\r\n" + fourth;
    ctl(h["pmHandShake"]).setTooltip(tip);
    ctl(h["lblHandShake"]).setTooltip(tip);
}

void ConnectionDialog::pbCheckHardware(const Handles& h) {
    host::Control window(h.window());
    const std::string pointer = window.pointer();
    window.setPointer("watch");
    const Value fields = UpdateConfig(h);
    showStatus(h, "... Checking ...");
    hwio::Options options = linkOptions_;
    options.timeout = timeout_;
    std::string description;
    try {
        description = runLinkJob(h.window(), "Checking the connection to the signal generator...", progressDelayMs_,
                                 options, [link = linkConfig(linkFields(fields))](const hwio::Options& o) {
                                     hwio::Link one(link, o);
                                     return VerifyComm(one);
                                 })
                          .response;
    } catch (const std::exception& e) {
        description = e.what();
    }
    showStatus(h, description);
    window.setPointer(pointer);
}

void ConnectionDialog::editTimeout(const Handles& h) {
    static const host::NumericField how{"Time-out", {{"s", 1}}};
    if (const auto x = host::readField(h["editTimeout"], how, host::numberText(timeout_) + " s"))
        timeout_ = std::clamp(*x, 0.1, 3600.0);
    ctl(h["editTimeout"]).setString(host::numberText(timeout_));
}

void ConnectionDialog::showStatus(const Handles& h, const std::string& text) {
    auto* status = h.get<QLabel>("lblStatus");
    ctl(status).setString(text);
    QWidget* w = h.window();
    // Top-level windows do not follow a wrapped label's height by themselves.
    w->layout()->activate();
    const int needed = w->layout()->hasHeightForWidth() ? w->layout()->totalHeightForWidth(w->width())
                                                        : w->layout()->totalSizeHint().height();
    if (needed > w->height()) w->resize(w->width(), needed);
    status->repaint();
}

void ConnectionDialog::forceRanges(Value& config, const Handles& h) const {
    const Value defaults = initConfig();
    auto clamp = [&](const char* sub, const char* name, double low, double high) {
        Value& rec = subRecord(config, sub);
        const Value* v = rec.find(name);
        // A missing field takes the default link record's value.
        const double x = v && v->isNumeric() && v->numel() == 1 ? v->real().front() : numberOf(defaults, sub, name);
        rec.set(name, std::max(std::min(x, high), low));
    };
    clamp("GPIB", "board", 0, 15);
    clamp("GPIB", "primary", 0, 30);
    clamp("GPIB", "secondary", -1, 31);
    clamp("RS232", "port", 1, 9);
    // The list's slowest and fastest rates bound the stored one, so every rate it offers stays possible.
    const auto rates = baudRates(h.get<QComboBox>("pmBaudRate"));
    if (!rates.empty())
        clamp("RS232", "baudrate", *std::min_element(rates.begin(), rates.end()), *std::max_element(rates.begin(), rates.end()));
    subRecord(config, "TCPIP").set("board", 0);
    for (const auto& [sub, name] : {std::pair{"RS232", "handshake"}, std::pair{"TCPIP", "address"}}) {
        Value& rec = subRecord(config, sub);
        if (!rec.hasField(name)) rec.set(name, fieldOf(fieldOf(defaults, sub), name));
    }
    if (!config.hasField("type")) config.set("type", "GPIB");
}

std::pair<std::string, Value> ConnectionDialog::KV_SigGen(QWidget* parent, std::optional<Value> config,
                                                          std::optional<std::string> model) {
    const bool reused = window_ != nullptr;
    window_ = host::openFigureReusing("KV_SigGen", "figureVisaAddress", parent, registry_);
    if (!reused) {
        handlesTCPIP_ = addControls(window_, "configTCPIP");
        handlesGPIB_ = addControls(window_, "configGPIB");
        handlesRS232_ = addControls(window_, "configRS232");
    }
    window_->hide();
    const Handles h(window_);
    lastConnection_ = 2;
    model_ = 0;
    if (model && (same(*model, "b") || same(*model, "c"))) {
        model_ = same(*model, "b") ? 1 : 2;
        model.reset();
    }
    if (parent) {
        try {
            window_->adjustSize();
            const QRect p = parent->frameGeometry();
            window_->move(p.x() + p.width() / 2 - window_->frameGeometry().width() / 2, p.y());
        } catch (...) {
        }
    }
    Value record = config ? reStructureConfig(*config, h) : initConfig();
    forceRanges(record, h);
    if (model) ctl(window_).setName(*model + " IO Connection");
    try {
        host::resizeAllFonts(h);
    } catch (...) {
    }
    ctl(h["pmBaudRate"]).setTooltip("Select the communication baud rate.\r\nNOTE: This must agree with the instrument.");
    ctl(h["pmPrimaryAddress"])
        .setTooltip("Select the primary address of your source.\r\nThe default factory setting is 19.");
    UpdateGuiObjects(h, record);
    UpdateRS232HandShakingToolTip(h);
    showControls(h);
    timeout_ = linkOptions_.timeout;
    ctl(h["editTimeout"]).setString(host::numberText(timeout_));

    const std::string response = host::waitForAnswer(window_);
    if (!window_) return {"Cancel", record};
    if (response == "OK") {
        linkOptions_.timeout = timeout_;
        const Value edited = UpdateConfig(h);
        record.set("type", edited.field("type"));
        for (const char* sub : {"GPIB", "RS232", "TCPIP"}) {
            Value& into = subRecord(record, sub);
            const Value& from = edited.field(sub);
            for (std::size_t i = 0; i < from.fieldCount(); ++i) into.set(from.fieldName(i), from.fieldValue(i));
        }
    }
    delete window_.data();
    return {response, record};
}

}  // namespace instrument
