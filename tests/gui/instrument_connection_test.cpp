#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <gmock/gmock.h>

#include "app/instrument_commands.h"
#include "app_fixture.h"
#include "instrument/connection_dialog.h"
#include "tests/hwio/sim_process.h"
#include "zuno_version.h"

using host::Value;
using testing::HasSubstr;
using testsupport::AppTest;

namespace {

Value link(const std::string& type, double primary = 19, double secondary = -1, double port = 1, double baud = 9600,
           const std::string& address = "0.0.0.0") {
    Value c = instrument::ConnectionDialog::initConfig();
    c.set("type", type);
    c.field("GPIB").set("primary", primary);
    c.field("GPIB").set("secondary", secondary);
    c.field("RS232").set("port", port);
    c.field("RS232").set("baudrate", baud);
    c.field("TCPIP").set("address", address);
    return c;
}

double num(const Value& c, const char* sub, const char* name) { return c.field(sub).field(name).scalar(); }

class ConnectionTest : public AppTest {
protected:
    instrument::ConnectionDialog& dlg() { return application->instrument().connection(); }
    host::Handles h() { return host::Handles(dlg().window()); }
    host::Control in(const char* tag) { return host::ctl(h()[tag]); }
    void press(const char* tag) { testsupport::press(h()[tag]); }
    void choose(const char* tag, int item) { testsupport::choose(h()[tag], item); }
    // Opens the dialog on `config`, runs `inside` while it waits, and returns its result.
    std::pair<std::string, Value> open(std::optional<Value> config, std::optional<std::string> model,
                                       std::function<void()> inside) {
        QTimer::singleShot(0, [inside] { inside(); });
        return dlg().KV_SigGen(main, std::move(config), std::move(model));
    }
    std::vector<std::string> items(const char* tag) {
        std::vector<std::string> out;
        auto* c = h().get<QComboBox>(tag);
        for (int i = 0; i < c->count(); ++i) out.push_back(c->itemText(i).toStdString());
        return out;
    }
};

}  // namespace

TEST_F(ConnectionTest, ModelCOffersGpibAndTcpipAndMapsTheRecord) {
    start();
    Value config = link("RS232");
    config.set("BBGtype", "001");
    auto [response, result] = open(config, "c", [this] {
        EXPECT_EQ(dlg().model(), 2);
        EXPECT_EQ(items("pmConnection"), (std::vector<std::string>{"GPIB", "TCP/IP"}));
        EXPECT_EQ(in("pmConnection").value(), 1);
        EXPECT_EQ(in("pmPrimaryAddress").value(), 20);
        EXPECT_EQ(in("pmSecondaryAddress").string(), "None");
        EXPECT_TRUE(in("pmGpibBoard").visible());
        EXPECT_FALSE(in("editTCPIPAddress").visible());
        EXPECT_FALSE(in("lblHandShake").visible());
        EXPECT_EQ(in("pmBaudRate").tooltip(), "Select the communication baud rate.\r\nNOTE: This must agree with the instrument.");
        EXPECT_EQ(in("pmPrimaryAddress").tooltip(),
                  "Select the primary address of your source.\r\nThe default factory setting is 19.");
        EXPECT_EQ(in("figureVisaAddress").name(), "Signal Generator IO Connection");
        // Switching the kind of link shows its controls only.
        choose("pmConnection", 2);
        EXPECT_EQ(dlg().lastConnection(), 2);
        EXPECT_TRUE(in("editTCPIPAddress").visible());
        EXPECT_FALSE(in("pmPrimaryAddress").visible());
        choose("pmConnection", 1);
        choose("pmPrimaryAddress", 8);
        choose("pmSecondaryAddress", 4);
        press("pbOK");
    });
    EXPECT_EQ(response, "OK");
    EXPECT_EQ(result.field("type").text(), "GPIB");
    EXPECT_EQ(num(result, "GPIB", "primary"), 7);
    EXPECT_EQ(num(result, "GPIB", "secondary"), 2);
    EXPECT_EQ(result.field("BBGtype").text(), "001");
    EXPECT_EQ(dlg().window(), nullptr) << "the dialog is deleted after use";
}

TEST_F(ConnectionTest, TcpipRoundTripsThroughItsItemText) {
    start();
    auto [response, result] = open(link("TCPIP", 19, -1, 1, 9600, "10.0.0.5:5025"), "c", [this] {
        EXPECT_EQ(in("pmConnection").string(), "TCP/IP");
        EXPECT_EQ(in("editTCPIPAddress").string(), "10.0.0.5:5025");
        EXPECT_TRUE(in("lblTCPIPAddress").visible());
        testsupport::type(h()["editTCPIPAddress"], "siggen.lab", false);
        press("pbOK");
    });
    EXPECT_EQ(result.field("type").text(), "TCPIP");
    EXPECT_EQ(result.field("TCPIP").field("address").text(), "siggen.lab");
    EXPECT_EQ(num(result, "TCPIP", "board"), 0);
}

TEST_F(ConnectionTest, RangesAreForcedAndCancelKeepsTheForcedRecord) {
    start();
    auto [response, result] = open(link("GPIB", 40, -5, 12, 1e6), std::nullopt, [this] {
        EXPECT_EQ(items("pmConnection"), (std::vector<std::string>{"RS232", "GPIB", "TCP/IP"}));
        EXPECT_EQ(in("pmPrimaryAddress").string(), "30");
        EXPECT_EQ(in("pmSecondaryAddress").string(), "None");
        EXPECT_EQ(in("pmPortNumber").value(), 9);
        EXPECT_EQ(in("pmBaudRate").string(), "115200");
        choose("pmPrimaryAddress", 3);
        press("pbCancel");
    });
    EXPECT_EQ(response, "Cancel");
    EXPECT_EQ(num(result, "GPIB", "primary"), 30);
    EXPECT_EQ(num(result, "GPIB", "secondary"), -1);
    EXPECT_EQ(num(result, "RS232", "port"), 9);
    EXPECT_EQ(num(result, "RS232", "baudrate"), 115200);

    // Closing by the frame is Cancel as well; a slow rate is raised to the slowest offered.
    auto closed = open(link("RS232", 19, -1, 1, 50), std::nullopt, [this] {
        EXPECT_EQ(in("pmConnection").string(), "RS232");
        EXPECT_EQ(in("pmBaudRate").string(), "300");
        dlg().window()->close();
    });
    EXPECT_EQ(closed.first, "Cancel");
    EXPECT_EQ(num(closed.second, "RS232", "baudrate"), 300);
}

TEST_F(ConnectionTest, FlatRecordsAreConvertedAndOtherModelsNameTheWindow) {
    start();
    Value flat = Value::record();
    flat.set("Connection", 1);
    flat.set("GPIBboard", 2);
    flat.set("Primary", 5);
    flat.set("Secondary", 3);
    flat.set("RS232Port", 4);
    flat.set("HandShake", 1);
    flat.set("BaudRate", 19200);
    flat.set("LastParameterFilename", "/tmp/x.mat");
    auto [response, result] = open(flat, "x", [this] {
        EXPECT_EQ(in("figureVisaAddress").name(), "x IO Connection");
        EXPECT_EQ(in("pmConnection").string(), "RS232");
        EXPECT_EQ(in("pmHandShake").string(), "Xon/Xoff");
        EXPECT_EQ(in("pmBaudRate").string(), "19200");
        EXPECT_EQ(in("pmHandShake").tooltip(),
                  "Set the following Instrument Parameters\r\n  Transmit Pace = None\r\n  Receive Pace  = Xon\r\n"
                  "  RTS/CTS       = Off");
        choose("pmHandShake", 3);
        EXPECT_EQ(in("lblHandShake").tooltip(),
                  "Set the following Instrument Parameters\r\n  Transmit Pace = None\r\n  Receive Pace  = None\r\n"
                  "  RTS/CTS       = RTS/CTS Pacing");
        choose("pmHandShake", 1);
        EXPECT_THAT(in("pmHandShake").tooltip(), HasSubstr("Receive Pace  = None\r\n  RTS/CTS       = Off"));
        press("pbOK");
    });
    EXPECT_EQ(result.fieldNames(), (std::vector<std::string>{"LastParameterFilename", "type", "GPIB", "RS232", "TCPIP"}));
    EXPECT_EQ(result.field("type").text(), "RS232");
    EXPECT_EQ(num(result, "GPIB", "board"), 2);
    EXPECT_EQ(num(result, "RS232", "port"), 4);
    EXPECT_EQ(result.field("RS232").field("handshake").text(), "None");
    EXPECT_EQ(result.field("TCPIP").field("address").text(), "0.0.0.0");

    // Under model "c" the converted serial record opens with GPIB.
    open(flat, "C", [this] {
        EXPECT_EQ(in("pmConnection").string(), "GPIB");
        press("pbCancel");
    });
}

TEST_F(ConnectionTest, HardwareCheckShowsTheComponentsText) {
    start();
    testsupport::SimProcess sim;
    application->instrument().linkOptions.timeout = 2;
    open(link("TCPIP", 19, -1, 1, 9600, sim.address()), "c", [this, &sim] {
        press("pbCheckHardware");
        EXPECT_EQ(in("lblStatus").string(), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion));
        testsupport::type(h()["editTCPIPAddress"], QString::fromStdString(sim.vxi11Address()), false);
        press("pbCheckHardware");
        EXPECT_EQ(in("lblStatus").string(), "Zuno,Simulated Signal Generator,SIM0001," + std::string(zuno::kVersion)) << "over VXI-11";
        testsupport::type(h()["editTCPIPAddress"], "0.0.0.0", false);
        press("pbCheckHardware");
        EXPECT_THAT(in("lblStatus").string(), HasSubstr("placeholder 0.0.0.0"));
        EXPECT_EQ(in("pmConnection").string(), "TCP/IP") << "the check changes no selection";
        press("pbCancel");
    });
    application->instrument().linkOptions.gpibLibrary = "libgpib-absent.so.0";
    open(link("GPIB"), "c", [this] {
        press("pbCheckHardware");
        EXPECT_THAT(in("lblStatus").string(), HasSubstr("GPIB needs the linux-gpib library"));
        press("pbCancel");
    });
    EXPECT_TRUE(console.str().empty()) << console.str();
}

// The GPIB library's message and the refusal of a VXI-11 portmapper are long: they wrap, the
// window grows to show all of them, and the controls keep their size.
TEST_F(ConnectionTest, LongStatusTextsWrapAndTheWindowGrowsToShowThem) {
    start();
    application->instrument().linkOptions.gpibLibrary = "libgpib-absent.so.0";
    auto wholeAndUnsqueezed = [this](const char* what) {
        QCoreApplication::processEvents();
        auto* status = h().get<QLabel>("lblStatus");
        EXPECT_GE(status->height(), status->heightForWidth(status->width())) << what << ": a line is cut";
        EXPECT_GE(status->width(), status->minimumSizeHint().width()) << what << ": a word is cut";
        for (const char* tag : {"pmConnection", "pmGpibBoard", "pmPrimaryAddress", "pmSecondaryAddress",
                                "editTCPIPAddress", "editTimeout", "pbCheckHardware", "pbOK"}) {
            auto* w = qobject_cast<QWidget*>(h()[tag]);
            if (w->isVisible()) {
                EXPECT_GE(w->height(), w->sizeHint().height()) << what << ": " << tag << " squeezed";
            }
        }
    };
    open(link("GPIB"), "c", [&] {
        const int before = dlg().window()->height();
        press("pbCheckHardware");
        EXPECT_THAT(in("lblStatus").string(), HasSubstr("GPIB needs the linux-gpib library"));
        wholeAndUnsqueezed("GPIB");
        EXPECT_GT(dlg().window()->height(), before);
        choose("pmConnection", 2);
        testsupport::type(h()["editTCPIPAddress"], "TCPIP0::127.0.0.1:" + QString::number(testsupport::closedPort()) + "::INSTR",
                          false);
        press("pbCheckHardware");
        EXPECT_THAT(in("lblStatus").string(), HasSubstr("Cannot connect to the portmapper at 127.0.0.1"));
        wholeAndUnsqueezed("VXI-11");
        press("pbCancel");
    });
}

// The time-out of every link operation is the dialog's to set; the check uses the one shown.
TEST_F(ConnectionTest, TheTimeOutIsSetHereAndACheckCanBeCancelled) {
    start();
    testsupport::SimProcess sim({"--stall"});
    auto& cmds = application->instrument();
    cmds.progressDelayMs = 60000;
    EXPECT_EQ(cmds.linkOptions.timeout, 10);
    open(link("TCPIP", 19, -1, 1, 9600, sim.address()), "c", [this] {
        EXPECT_EQ(in("editTimeout").string(), "10");
        testsupport::type(h()["editTimeout"], "soon", false);
        testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(in("editTimeout").string(), "10") << "not a number: the time-out stays";
        testsupport::type(h()["editTimeout"], "0", false);
        testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(in("editTimeout").string(), "0.1");
        testsupport::type(h()["editTimeout"], "0.5", false);
        testsupport::key(Qt::Key_Tab);
        press("pbCheckHardware");
        EXPECT_THAT(in("lblStatus").string(), HasSubstr("did not answer \"*IDN?\" within 0.5 s"));
        press("pbOK");
    });
    EXPECT_EQ(cmds.linkOptions.timeout, 0.5);
    open(link("TCPIP", 19, -1, 1, 9600, sim.address()), "c", [this] {
        EXPECT_EQ(in("editTimeout").string(), "0.5");
        testsupport::type(h()["editTimeout"], "600", false);
        testsupport::key(Qt::Key_Tab);
        press("pbCancel");
    });
    EXPECT_EQ(cmds.linkOptions.timeout, 0.5) << "Cancel keeps it";

    cmds.progressDelayMs = 0;
    open(link("TCPIP", 19, -1, 1, 9600, sim.address()), "c", [this] {
        testsupport::type(h()["editTimeout"], "600", false);
        testsupport::key(Qt::Key_Tab);
        hands.then([](QWidget* progress) { testsupport::pressButton(progress, "Cancel"); });
        press("pbCheckHardware");
        EXPECT_TRUE(hands.done());
        EXPECT_EQ(in("lblStatus").string(), "Cancelled while waiting for the answer to \"*IDN?\".");
        press("pbCancel");
    });
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(ConnectionTest, ItemConversionsAndTheMenuCommand) {
    start();
    open(std::nullopt, "c", [this] {
        auto* box = h().get<QComboBox>("pmConnection");
        EXPECT_EQ(instrument::ConnectionDialog::ConvertStringToIndex(box, "tcpip"), 2);
        EXPECT_EQ(instrument::ConnectionDialog::ConvertStringToIndex(box, "gpib"), 1);
        EXPECT_EQ(instrument::ConnectionDialog::ConvertStringToIndex(box, "RS232"), 1);
        EXPECT_EQ(instrument::ConnectionDialog::ConvertIndexToString(box, 2), "TCPIP");
        EXPECT_EQ(instrument::ConnectionDialog::ConvertIndexToString(box, 0), "GPIB");
        EXPECT_EQ(instrument::ConnectionDialog::ConvertIndexToString(box, 3), "GPIB");
        press("pbCancel");
    });

    // The Sig Gen I/O menu stores the record on OK only.
    QTimer::singleShot(0, [this] {
        choose("pmConnection", 2);
        testsupport::type(h()["editTCPIPAddress"], "192.168.1.20", false);
        press("pbCancel");
    });
    host::Registry::instance().call(app::kCommonModule, "menuConfigSigGenIO_Callback", host::Call{nullptr, host::Handles(main)});
    EXPECT_EQ(state().configuration.type, "GPIB");
    QTimer::singleShot(0, [this] {
        choose("pmConnection", 2);
        testsupport::type(h()["editTCPIPAddress"], "192.168.1.20", false);
        press("pbOK");
    });
    host::Registry::instance().call(app::kCommonModule, "menuConfigSigGenIO_Callback", host::Call{nullptr, host::Handles(main)});
    EXPECT_EQ(state().configuration.type, "TCPIP");
    EXPECT_EQ(state().configuration.TCPIP.address, "192.168.1.20");
    EXPECT_EQ(state().configuration.BBGtype, "002");
    EXPECT_TRUE(console.str().empty()) << console.str();
}
