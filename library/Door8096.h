#pragma once
// Door8096: the controller object. It owns the serial port through which every
// command runs (one exchange on the shared line each, the two collections a
// run of block exchanges) and the settings file "DoorSystem.ini" in the
// library's own folder. Failures are return values (-1, false, ""), never
// exceptions; a few show the library's own message box, as documented at
// each method.
#include <QString>
#include <cstdint>
#include <memory>

namespace serial {
class SerialPort;
}

namespace vantrel {

inline constexpr const char* kSettingsFileName = "DoorSystem.ini";
inline constexpr const char* kInitialVer = "V1.2.4 Door 8096 For ZIZeva 2008-08-27";

class Door8096Core {
public:
    // Creates the port from the port mapping in libraryFolder.
    explicit Door8096Core(const QString& libraryFolder);
    // With a given port (tests).
    Door8096Core(const QString& libraryFolder, std::unique_ptr<serial::SerialPort> port);
    ~Door8096Core();
    Door8096Core(const Door8096Core&) = delete;
    Door8096Core& operator=(const Door8096Core&) = delete;

    // Properties kept for callers; the library itself never reads them.
    int32_t AllRecordSum = 0;
    QString Ver;

    // Counts (-1 on failure).
    int32_t GatherRecordSum(int16_t varAddr);
    int32_t GatherSendCardSum(int16_t varAddr);

    // Port.
    bool SetPort(int16_t PortNum);
    bool DestoryPort();
    void ShowAbout();

    // Records and name list.
    bool ClearRecord(int16_t varAddr);
    bool ClearNameList(int16_t varAddr);
    bool CardSendToMachine(int16_t varAddr, const QString& strEmpID, const QString& strPhyCardNum,
                           int16_t intLockCtr1, int16_t intLockCtr2, int16_t IsWeek, int16_t IsEndDate,
                           int16_t IsTime, const QString& strWeekValue, const QString& strEndDateValue,
                           const QString& strTimeValue1, const QString& strTimeValue2);
    int16_t ClearName(int16_t varAddr, const QString& strPhyCardNum);
    bool FindCard(int16_t varAddr, const QString& strPhyNum, QString& strSendCard, int16_t intSleep = 2);
    QString ReadCardNum(int16_t varAddr, QString* AllStr = nullptr);

    // Collections into text files.
    bool GatherData(int16_t varAddr, const QString& VarFilePath, const QString& VarFileName,
                    QString& VarDescription, int32_t& BackRecordSum, int32_t SleepDate = 2,
                    bool phStrCardFlg = true, bool IsFullYear = false, int32_t* intGatherRecordCount = nullptr,
                    int32_t interval = 100);
    bool GatherSendCardData(int16_t varAddr, const QString& VarFilePath, const QString& VarFileName,
                            QString& VarDescription, int32_t& BackRecordSum, int32_t SleepDate = 5,
                            bool phStrCardFlg = true, int32_t interval = 100);

    // Time groups. strCardOrPassword: nullptr or a text "Null" leaves it alone.
    bool SetTimeGroup(int16_t varAddr, int16_t intTotal, int16_t intOrder, const QString& strTime,
                      int16_t intCardOrPassword = 0);
    bool GetTimeGroup(int16_t varAddr, QString& strTime, QString* strCardOrPassword = nullptr);

    // Clock, delays, locks.
    bool ModifyDateTime(int16_t varAddr, const QString& strDate, const QString& strTime, int16_t intWeek);
    bool SetLockDelayTime(int16_t varAddr, int16_t Secon1, int16_t Secon2, int16_t Secon3);
    bool OpenLock(int16_t varAddr, int16_t intLockNo);

    // Status and version readers.
    bool getLockStatus(int16_t varAddr, QString& strStatus);
    bool getDateTimeDelay(int16_t varAddr, QString& strResult);
    bool getCardLockStatus(int16_t varAddr, QString& strStatus);
    bool GetMachVer(int16_t varAddr, QString& strMachVer);

    serial::SerialPort& port() { return *port_; }
    QString settingsFilePath() const;

private:
    void initialize();
    void WriteDefaultIni();
    int32_t statusCount(int16_t varAddr, int highByte);

    QString folder_;
    std::unique_ptr<serial::SerialPort> port_;
};

} // namespace vantrel
