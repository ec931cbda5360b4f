#include "main_account.h"

#include "file_safety.h"
#include "main.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

mxArray t(const char* text) { return mxArray::text(text); }
mxArray n(double value) { return mxArray::scalar(value); }

struct Constants {
    mxArray zero = n(0), one = n(1), minusOne = n(-1);
    mxArray data = t(facts::kDataFolder), parent = t(".."), w = t("w"), r = t("r");
    mxArray CoutO_dat = t(facts::kToolingFile), CoutR_dat = t(facts::kAdjustmentFile),
            Nb_essai_dat = t(facts::kCountFile), config_outillage_dat = t(facts::kSettingsLogFile);
    mxArray numberFormat = t("%f "), lineFormat = t("%s \\n"), readFormat = t("%f");
    mxArray startTooling = n(facts::kStartAccount.tooling),
            startAdjustment = n(facts::kStartAccount.adjustment),
            startCount = n(facts::kStartAccount.count);
    std::array<mxArray, 5> settingSeparator{t("A="), t(",   R="), t(",   L="), t(",   C="), t(",   F=")};
    mxArray resultA1 = t("A1="), resultA2 = t(",   A2="), resultH = t(",   H=");
};
mclModuleConstants<Constants> k("main");

// Called in data/: the whole path tells the trainer which folder is at fault.
mxArray openOrRaise(const mxArray& name, const mxArray& mode) {
    mxArray fid = mlfFopen(name, mode);
    if (mclEqBool(fid, k->minusOne)) {
        const std::string file = "Le fichier « " + (std::filesystem::current_path() / name.toUtf8()).string() + " »";
        mlfError(mode.toUtf8() == "w"
                     ? file + " ne peut pas être écrit : demandez au formateur un dossier où vous pouvez écrire."
                     : file + " ne peut pas être lu.");
    }
    return fid;
}

void writeNumber(const mxArray& name, const mxArray& value) {
    mxArray fid = openOrRaise(name, k->w);
    mlfNFprintf(fid, k->numberFormat, value);
    mlfFclose(fid);
}

// An account file must hold exactly one finite number and nothing else: a
// hand-edited file that does not ("2500,5" would read as 2500) is refused
// before anything of the account changes.
mxArray readAccountFile(const mxArray& name) {
    mxArray fid = openOrRaise(name, k->r);
    mxArray value = mlfFscanf(fid, k->readFormat);
    bool onlyNumbers = mclOnlyBlanksLeft(fid);
    mlfFclose(fid);
    if (value.numel() != 1 || !std::isfinite(value.at(0)) || !onlyNumbers)
        mlfError("Le fichier de compte data/" + name.toUtf8() + " est illisible : il doit contenir " +
                 "un seul nombre, il en contient " + std::to_string(value.numel()) +
                 (!onlyNumbers ? " suivi de texte" : value.numel() == 1 ? " qui n'est pas fini" : "") +
                 ". Le compte n'a pas été modifié ; corrigez le fichier ou relancez le simulateur.");
    return value;
}

// The files written in the group are flushed together, then take their places.
void commitOrRaise(file_safety::ReplacementGroup& files) {
    const file_safety::WriteResult written = files.commit();
    if (!written.ok()) mlfError(written.error);
}

void clearChanges() {
    mclInitGlobal(reglage) = k->zero;
    mclInitGlobal(outillage) = k->zero;
}

bool noted(const mclGlobalVariable& change) { return mclEqBool(mclVg(change), k->one); }

}  // namespace

facts::Account chargedAccount(const facts::Account& loaded, SettingChanges changes) {
    if (loaded.count == 0) return {loaded.tooling, loaded.adjustment, 1};
    return {loaded.tooling + (changes.tooling ? facts::kToolingCharge : 0),
            loaded.adjustment + (changes.adjustment ? facts::kAdjustmentCharge : 0),
            loaded.count + (changes.adjustment ? 1 : 0)};
}

void resetAccount() {
    const Constants& K = k.get();
    file_safety::ReplacementGroup files;
    mclFolderScope inData(K.data);
    clearChanges();
    writeNumber(K.CoutO_dat, K.startTooling);
    writeNumber(K.CoutR_dat, K.startAdjustment);
    writeNumber(K.Nb_essai_dat, K.startCount);
    commitOrRaise(files);
    inData.leave(K.parent);
}

void noteSliderMove(bool tooling) {
    if (tooling) mclInitGlobal(outillage) = k->one;
    mclInitGlobal(reglage) = k->one;
}

void loadAccount() {
    const Constants& K = k.get();
    mclFolderScope inData(K.data);
    mxArray loadedO = readAccountFile(K.CoutO_dat);
    mxArray loadedR = readAccountFile(K.CoutR_dat);
    mxArray loadedCount = readAccountFile(K.Nb_essai_dat);
    mclInitGlobal(CoutO) = loadedO;
    mclInitGlobal(CoutR) = loadedR;
    mclInitGlobal(Nb_essai) = loadedCount;
    inData.leave(K.parent);
}

facts::Account chargeTrial() {
    const facts::Account charged = chargedAccount({mclVg(CoutO).at(0), mclVg(CoutR).at(0), mclVg(Nb_essai).at(0)},
                                                  {noted(outillage), noted(reglage)});
    mclInitGlobal(CoutO) = n(charged.tooling);
    mclInitGlobal(CoutR) = n(charged.adjustment);
    mclInitGlobal(Nb_essai) = n(charged.count);
    clearChanges();
    return charged;
}

void storeAccountAndLog(const std::array<mxArray, 5>& ValR, const mxArray& A1, const mxArray& A2,
                        const mxArray& H) {
    const Constants& K = k.get();
    file_safety::ReplacementGroup files;
    mclFolderScope inData(K.data);
    writeNumber(K.CoutO_dat, mclVg(CoutO));
    writeNumber(K.CoutR_dat, mclVg(CoutR));
    writeNumber(K.Nb_essai_dat, mclVg(Nb_essai));
    std::vector<mxArray> setting;
    for (int j = 0; j < 5; ++j) {
        setting.push_back(K.settingSeparator[j]);
        setting.push_back(mlfNum2str(ValR[j]));
    }
    mxArray fid = openOrRaise(K.config_outillage_dat, K.w);
    mlfNFprintf(fid, K.lineFormat, mlfHorzcat(setting));
    mlfNFprintf(fid, K.lineFormat,
                mlfHorzcat({K.resultA1, mlfNum2str(A1), K.resultA2, mlfNum2str(A2), K.resultH, mlfNum2str(H)}));
    mlfFclose(fid);
    commitOrRaise(files);
    inData.leave(K.parent);
}

void initializeMainAccount() { k.initialize(); }
void terminateMainAccount() { k.terminate(); }
