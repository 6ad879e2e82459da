#include "config/MainPanelCaptions.h"

#include "base/Texts.h"

namespace {

const TByLanguage<MainPanelCaptions> kCaptions{{
    {"Configuració visualitzador", "Port", "Velocitat", "Paritat", "Bits de stop", "Bits de dades", "Adreça",
     "Num. digits", "Configuració entrada analogica", "Configuració Rele 1", "Configuració Rele 2",
     "Nivell dispar"},
    {"Configuración visualizador", "Puerto", "Velocidad", "Paridad", "Bits de stop", "Bits de datos", "Dirección",
     "Num. digitos", "Configuración entrada analogica", "Configuración Rele 1", "Configuración Rele 2",
     "Nivel disparo"},
    {"Configuration afficheur", "Port", "Vitesse", "Parite", "Bits de stop", "Bits de donnes", "Adresse",
     "Nom. chiffres", "Configuration entrée analogique", "Configuration Relais 1", "Configuration Relais 2",
     "Seuil"},
    {"Setup display", "Port", "Baud rate", "Parity", "Stop bits", "Data bits", "Address", "Digits num.",
     "Setup analog input", "Setup Relay 1", "Setup Relay 2", "Threshold"},
}};

} // namespace

const MainPanelCaptions& mainPanelCaptions(TLanguage language)
{
    return kCaptions.pick(language);
}
