<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CountryTable</name>
    <message>
        <source>%1 を読み込めませんでした</source>
        <translation>%1 could not be read</translation>
    </message>
</context>
<context>
    <name>Gs232Link</name>
    <message>
        <source>コントローラがコマンド %1 を受け付けませんでした (?&gt;)</source>
        <translation>The controller refused the command %1 (?&gt;)</translation>
    </message>
</context>
<context>
    <name>HamlibLink</name>
    <message>
        <source>Hamlib: 方位を読めません: %1</source>
        <translation>Hamlib: cannot read the azimuth: %1</translation>
    </message>
    <message>
        <source>Hamlib: %1 へ回せません: %2</source>
        <translation>Hamlib: cannot turn to %1: %2</translation>
    </message>
    <message>
        <source>Hamlib: 回転できません: %1</source>
        <translation>Hamlib: cannot turn: %1</translation>
    </message>
    <message>
        <source>Hamlib: 停止できません: %1</source>
        <translation>Hamlib: cannot stop: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>環境設定と連動しています。コントローラの遠隔スイッチをＯＮ・ＯＦＦします。</source>
        <translation>Linked to the settings: switches the controller&apos;s remote outputs on and off.</translation>
    </message>
    <message>
        <source>環境設定と連動しています。遠隔スイッチをＯＮ・ＯＦＦします。</source>
        <translation>Linked to the settings: switches the remote outputs on and off.</translation>
    </message>
    <message>
        <source>ポートの接続状態等のメッセージを表示します。</source>
        <translation>Shows messages such as the state of the port.</translation>
    </message>
    <message>
        <source>ＡＺX</source>
        <translation>AZX</translation>
    </message>
    <message>
        <source>環境設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>設定角度 = </source>
        <translation>Target = </translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Connection and cutting are performed. &#x3000;接続・切断を行います。（ドグルスイッチ）</source>
        <translation>Opens and shuts the port (a toggle).</translation>
    </message>
    <message>
        <source> (CCW).左へ回転します。 <byte value="xd"/>
</source>
        <translation>Turns left (CCW).</translation>
    </message>
    <message>
        <source>回転をストップします。</source>
        <translation>Stops turning.</translation>
    </message>
    <message>
        <source>(CW). 右へ回転します。 <byte value="xd"/>
</source>
        <translation>Turns right (CW).</translation>
    </message>
    <message>
        <source>コントローラーから送られてきた角度を表示します。</source>
        <translation>The heading the controller reports.</translation>
    </message>
    <message>
        <source>最終コマンドの角度から１５度左（ＣＣＷ）へ回転させます。</source>
        <translation>Turns 10 degrees left (CCW) of the last command.</translation>
    </message>
    <message>
        <source>最終コマンドの角度に１０度右（ＣＷ）へ回転させます。</source>
        <translation>Turns 10 degrees right (CW) of the last command.</translation>
    </message>
    <message>
        <source>画像</source>
        <translation>Map</translation>
    </message>
    <message>
        <source>画像を選択します。&#x3000;左から画像番号WORLD*.BMP(＊＝１・２・３・４・５)を読み込みます。</source>
        <translation>Chooses the map picture: from the left, WORLD*.BMP with * = 1, 2, 3, 4, 5.</translation>
    </message>
    <message>
        <source>画像１：&#x3000;標準のミニ画面を表示します。使用ファイルは「world1.bmp」</source>
        <translation>Picture 1: the standard small map, from “world1.bmp”.</translation>
    </message>
    <message>
        <source>画像２：&#x3000;中画面を表示します。使用ファイルは「world2.bmp」</source>
        <translation>Picture 2: the medium map, from “world2.bmp”.</translation>
    </message>
    <message>
        <source>画像３：&#x3000;大きい画面を表示します。使用ファイルは「world3.bmp」</source>
        <translation>Picture 3: the large map, from “world3.bmp”.</translation>
    </message>
    <message>
        <source>画像４：&#x3000;オプションで選択した画像が使用できます。使用する画像の名前をオプションで選択してください。使用ファイルは「world4.bmp」</source>
        <translation>Picture 4: a picture of your own choosing, from “world4.bmp”.</translation>
    </message>
    <message>
        <source>画像５：&#x3000;オプションで選択した画像が使用できます。使用する画像の名前をオプションで選択してください。使用ファイルは「world5.bmp」</source>
        <translation>Picture 5: a picture of your own choosing, from “world5.bmp”.</translation>
    </message>
    <message>
        <source>地図クリックでローテータをコントロールします。</source>
        <translation>Click the map to aim the rotator there.</translation>
    </message>
    <message>
        <source>ﾛｰﾃｰﾀｰｵﾌﾟｼｮﾝ ｽｲｯﾁ</source>
        <translation>Rotator option switches</translation>
    </message>
    <message>
        <source>ローテーター設定等</source>
        <translation>Rotator commands</translation>
    </message>
    <message>
        <source>ｺﾑﾎﾟｰﾄ設定</source>
        <translation>COM port</translation>
    </message>
    <message>
        <source>ポート選択</source>
        <translation>Choose port</translation>
    </message>
    <message>
        <source>コムポートを選択すれば「Port No」欄に番号が書き込まれます。&#x3000;設定後は再起動してください。</source>
        <translation>Choosing a port writes its number into the Port box. Restart after setting it.</translation>
    </message>
    <message>
        <source>ﾎﾟｰﾄ番号&#x3000;&#x3000;ﾎﾞｰﾚｲﾄ等&#x3000;  &#x3000;&#x3000;ｵﾌｾｯﾄ<byte value="xd"/>
</source>
        <translation>Port       Baud etc.                  Offset</translation>
    </message>
    <message>
        <source>上の有効ポートよりコントローラの接続されているポートを選択してください。</source>
        <translation>The number of the port the controller is on (choose it from the list above).</translation>
    </message>
    <message>
        <source>(通常は変更不要です。)ボーレイト，パリティ，ビット，ストップビットを記入します。</source>
        <translation>(Seldom needs changing.) Baud rate, parity, data bits, stop bits.</translation>
    </message>
    <message>
        <source>オフセット値（プラス・マイナスの数字）を入れた数値が目的の角度に加算されたものが設定角度としてコントロールされます。</source>
        <translation>Offset: a number (plus or minus) added to every aimed angle to give the angle commanded.</translation>
    </message>
    <message>
        <source>環境登録</source>
        <translation>Register</translation>
    </message>
    <message>
        <source>環境設定変更実施内容を登録します。ボーレイト変更以外は各コマンド設定時に自動登録しますので通常は不要です。</source>
        <translation>Saves the settings. Everything but the line settings is saved as you set it, so this is seldom needed.</translation>
    </message>
    <message>
        <source>ｽｲｯﾁ表示</source>
        <translation>Switches</translation>
    </message>
    <message>
        <source>レ＝ＡＺＸ画面にスイッチを表示します。&#x3000;□＝表示しません</source>
        <translation>Ticked: the AZX tab shows the switches. Clear: it does not.</translation>
    </message>
    <message>
        <source>コントローラへコマンドを送信します。コマント゛のみを入力して「データ転送」ボタンで実行してください。&#x3000;★ [Enter] は入力不要</source>
        <translation>A command for the controller: type the command alone and press Send. No need to type Enter.</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀ送信</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>コントローラへテキストのﾃﾞｰﾀを送信します。</source>
        <translation>Sends the text to the controller.</translation>
    </message>
    <message>
        <source>接続サービス...</source>
        <translation>Services...</translation>
    </message>
    <message>
        <source>目標...</source>
        <translation>Target...</translation>
    </message>
    <message>
        <source>「%1」画像ファイルが有りませんので変更できませんでした。<byte value="xd"/>
<byte value="xd"/>
</source>
        <translation>The picture file “%1” is missing, so the map was not changed.

</translation>
    </message>
    <message>
        <source>バージョンアップで取り込むことができます。</source>
        <translation>A newer version of the program brings it.</translation>
    </message>
    <message>
        <source>ユーザ作成ファイルに変更する場合はファイルを作成してください。</source>
        <translation>To use a picture of your own, create that file.</translation>
    </message>
    <message>
        <source>ﾎﾟｰﾄ = </source>
        <translation>Port = </translation>
    </message>
    <message>
        <source>切断</source>
        <translation>Shut</translation>
    </message>
    <message>
        <source>画像は作業フォルダ %1 から読み込みます。標準の画像を探す場所: %2</source>
        <translation>Pictures are read from the working folder, %1. The standard ones (world1.bmp to world3.bmp) come with the program; they are looked for in: %2</translation>
    </message>
    <message>
        <source>コントローラが応答しません</source>
        <translation>The controller does not answer</translation>
    </message>
    <message>
        <source>オーバーラップ内: コントローラの位置 %1°</source>
        <translation>In the overlap: the controller is at %1°</translation>
    </message>
</context>
<context>
    <name>OperatingCore</name>
    <message>
        <source>「AZIVEX.DAT（環境設定ファイル）」がありませんでしたので作成しました。<byte value="xd"/>
一旦プログラムを終了させます。<byte value="xd"/>
<byte value="xd"/>
再起動後、ポート等の内容を確認・設定してください。</source>
        <translation>There was no AZIVEX.DAT (the settings file), so it has been created.
The program ends now.

After restarting, check and set the port and the other settings.</translation>
    </message>
    <message>
        <source>環境設定のバージョンアップが有りましたので「AZIVEX.DAT」を再作成しました。<byte value="xd"/>
一旦終了させます。<byte value="xd"/>
<byte value="xd"/>
ポート等の内容を確認・設定してください。</source>
        <translation>The settings have a new format, so AZIVEX.DAT has been created anew.
The program ends now.

Check and set the port and the other settings.</translation>
    </message>
    <message>
        <source>「AZIVEX.DAT（環境設定ファイル）」を読み込めませんでした。<byte value="xd"/>
ファイルを確認してから再起動してください。</source>
        <translation>AZIVEX.DAT (the settings file) could not be read.
Check the file, then restart.</translation>
    </message>
    <message>
        <source>「AZIVEX.DAT（環境設定ファイル）」を作成できませんでした。<byte value="xd"/>
フォルダへの書き込み権限を確認してください。</source>
        <translation>AZIVEX.DAT (the settings file) could not be created.
Check that the folder can be written to.</translation>
    </message>
    <message>
        <source>%1 を再接続しました</source>
        <translation>%1 reopened</translation>
    </message>
    <message>
        <source>初期化中</source>
        <translation>Starting</translation>
    </message>
    <message>
        <source>%1 を読み込めませんでした</source>
        <translation>%1 could not be read</translation>
    </message>
    <message>
        <source>環境ファイルに登録完了</source>
        <translation>Settings saved</translation>
    </message>
    <message>
        <source>環境ファイルに登録できませんでした</source>
        <translation>Settings not saved</translation>
    </message>
</context>
<context>
    <name>RotatorSession</name>
    <message>
        <source>%1° は回転範囲 %2 の外です</source>
        <translation>%1° is outside the rotation range %2</translation>
    </message>
</context>
<context>
    <name>Service</name>
    <message>
        <source>WSJT-X の受信ポートを開けません</source>
        <translation>Cannot open the WSJT-X port</translation>
    </message>
    <message>
        <source>%1 を開けません</source>
        <translation>Cannot open %1</translation>
    </message>
</context>
<context>
    <name>ServiceRow</name>
    <message>
        <source>有効にする</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>アドレス:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>停止中</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>%1 を開けません: %2</source>
        <translation>Cannot listen at %1: %2</translation>
    </message>
    <message>
        <source>%1 で受信中（状態 %2 件）</source>
        <translation>Receiving at %1 (%2 statuses)</translation>
    </message>
    <message>
        <source>%1 で待ち受け中 (理解できない受信 %2 件)</source>
        <translation>Listening at %1 (%2 datagrams not understood)</translation>
    </message>
    <message>
        <source>%1 で待ち受け中 (接続 %2)</source>
        <translation>Listening on %1 (%2 connected)</translation>
    </message>
    <message>
        <source>%1 で待ち受け中</source>
        <translation>Listening at %1</translation>
    </message>
    <message>
        <source>読めないデータグラム %1 件（最後: %2）</source>
        <translation>%1 unreadable datagrams (last: %2)</translation>
    </message>
    <message>
        <source>最後に無視した受信: %1</source>
        <translation>Last datagram ignored: %1</translation>
    </message>
</context>
<context>
    <name>ServicesDialog</name>
    <message>
        <source>AZIVEX 接続サービス</source>
        <translation>AZIVEX Services</translation>
    </message>
    <message>
        <source>rotctld サーバ (Hamlib)</source>
        <translation>rotctld server (Hamlib)</translation>
    </message>
    <message>
        <source>gpredict、QLog、CQRLOG などがこのアドレスでアンテナを回せるようにします。</source>
        <translation>Lets gpredict, QLog, CQRLOG and others turn the antenna at this address.</translation>
    </message>
    <message>
        <source>[アドレス:]ポート。127.0.0.1 以外のアドレスでは、そこに届く誰もがアンテナを回せます。</source>
        <translation>[ADDRESS:]PORT. At any address other than 127.0.0.1, anyone who can reach it can turn the antenna.</translation>
    </message>
    <message>
        <source>ポートが戻ったら自動で再接続する</source>
        <translation>Reopen the port when it comes back</translation>
    </message>
    <message>
        <source>接続中に機器が抜けたとき、同じ COM に戻りしだい接続し直します。「切断」で切ったポートは開きません。</source>
        <translation>When the device goes away while open, reopens it as soon as it is back at the same COM. A port shut with “Shut” stays shut.</translation>
    </message>
    <message>
        <source>N1MM Logger+ ローテータ (UDP)</source>
        <translation>N1MM Logger+ rotor (UDP)</translation>
    </message>
    <message>
        <source>N1MM Logger+ などのローテータ指令 (goazi、stop) でアンテナを回します。</source>
        <translation>Turns the antenna on rotor commands (goazi, stop) from N1MM Logger+ and other loggers.</translation>
    </message>
    <message>
        <source>PstRotator 互換 (UDP)</source>
        <translation>PstRotator compatible (UDP)</translation>
    </message>
    <message>
        <source>SatDump、KLog、Hamlib などの PstRotator 宛て指令でアンテナを回します。</source>
        <translation>Turns the antenna on the PstRotator commands of SatDump, KLog, Hamlib and others.</translation>
    </message>
    <message>
        <source>受信する</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source>WSJT-X・JTDX の状態（交信相手のコールサインとグリッド）を受け取って目標画面に表示します。</source>
        <translation>Receives the status of WSJT-X or JTDX (the call and grid of the station being worked) and shows it in the target dialog.</translation>
    </message>
    <message>
        <source>アドレス:ポート。WSJT-X の UDP サーバ設定と同じにします。224.0.0.0〜239.255.255.255 のマルチキャストなら GridTracker などとポートを共有します。</source>
        <translation>ADDRESS:PORT, the same as the UDP Server setting of WSJT-X. A multicast address from 224.0.0.0 to 239.255.255.255 shares the port with GridTracker and others.</translation>
    </message>
    <message>
        <source>交信相手へ自動で向ける</source>
        <translation>Turn to the station being worked</translation>
    </message>
    <message>
        <source>DX コールか DX グリッドが変わるたびに、ショートパスへ回します。</source>
        <translation>Turns the antenna to the short path whenever the DX call or DX grid changes.</translation>
    </message>
    <message>
        <source>コントローラ</source>
        <translation>Controller</translation>
    </message>
    <message>
        <source>標準 (AZ=ddd を自分で送る)</source>
        <translation>Native (sends AZ=ddd by itself)</translation>
    </message>
    <message>
        <source>コントローラの種類。GS-232A・GS-232B と Hamlib では位置を問い合わせます。</source>
        <translation>The kind of controller. GS-232A, GS-232B and Hamlib are asked for the position.</translation>
    </message>
    <message>
        <source>空欄: 環境設定の COM 番号</source>
        <translation>Empty: the COM number of the settings tab</translation>
    </message>
    <message>
        <source>空欄なら環境設定タブの COM 番号のポートです。/dev/serial/by-id/… のようなデバイスのパスか、ser2net などネットワーク越しの ホスト:ポート も使えます。ボーレート等は環境設定タブのものです。</source>
        <translation>Empty: the port of the COM number on the settings tab. Also a device path such as /dev/serial/by-id/…, or HOST:PORT across the network (ser2net and the like). Baud rate and framing are the settings tab&apos;s.</translation>
    </message>
    <message>
        <source>Hamlib のローテータのモデル。603 は GS-232B、901 は SPID Rot2Prog、2 はネットワーク上の rotctld です。</source>
        <translation>Hamlib&apos;s rotator model: 603 is GS-232B, 901 SPID Rot2Prog, 2 a rotctld on the network.</translation>
    </message>
    <message>
        <source>空欄: コントローラの範囲</source>
        <translation>Empty: the controller&apos;s own</translation>
    </message>
    <message>
        <source>コントローラ自身の角度での範囲、例えば 0-450、-180-180、0-340。空欄なら 0-360 (Hamlib ではモデルの範囲) です。</source>
        <translation>The range in the controller&apos;s own degrees, such as 0-450, -180-180 or 0-340. Empty: 0-360 (with Hamlib, the model&apos;s range).</translation>
    </message>
    <message>
        <source>位置を問い合わせる間隔 (GS-232A・GS-232B・Hamlib)。</source>
        <translation>How often the position is asked for (GS-232A, GS-232B, Hamlib).</translation>
    </message>
    <message>
        <source>プロトコル:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>デバイス:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>Hamlib モデル:</source>
        <translation>Hamlib model:</translation>
    </message>
    <message>
        <source>回転範囲:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>問い合わせ間隔:</source>
        <translation>Poll every:</translation>
    </message>
    <message>
        <source>「%1」は回転範囲になりません。0-450、-180-180、0-340 のように書きます。</source>
        <translation>&quot;%1&quot; is not a range. Write it as 0-450, -180-180 or 0-340.</translation>
    </message>
    <message>
        <source>Hamlib のモデルを選んでください。</source>
        <translation>Choose a Hamlib model.</translation>
    </message>
    <message>
        <source>ウェブページ (スマートフォン・ブラウザ)</source>
        <translation>Web page (phones and browsers)</translation>
    </message>
    <message>
        <source>同じ LAN のスマートフォンやパソコンのブラウザから、地図を見てアンテナを回せます。開くにはトークン入りのアドレスが要ります。</source>
        <translation>Lets a phone or a computer on the same LAN see the map and turn the antenna in a browser. Opening it takes the address with the token in it.</translation>
    </message>
    <message>
        <source>[アドレス:]ポート。0.0.0.0 ならこの機械のどのネットワークからも開けます。</source>
        <translation>[ADDRESS:]PORT. With 0.0.0.0 it opens from every network of this machine.</translation>
    </message>
    <message>
        <source>スマートフォンのカメラで読み取るとページが開きます。</source>
        <translation>Point a phone&apos;s camera at it to open the page.</translation>
    </message>
    <message>
        <source>新しいトークン</source>
        <translation>New token</translation>
    </message>
    <message>
        <source>今のトークンを無効にします。開いているブラウザには新しいアドレスを開き直してもらいます。</source>
        <translation>Makes the current token invalid. Browsers that have the page open need the new address.</translation>
    </message>
    <message>
        <source>開くアドレス: %1</source>
        <translation>Open: %1</translation>
    </message>
</context>
<context>
    <name>SettingsStore</name>
    <message>
        <source>%1 に保存できませんでした</source>
        <translation>%1 could not be saved</translation>
    </message>
    <message>
        <source>%1 の %2 は使えません: %3</source>
        <translation>%1: %2 cannot be used: %3</translation>
    </message>
</context>
<context>
    <name>TargetDialog</name>
    <message>
        <source>AZIVEX 目標</source>
        <translation>AZIVEX Target</translation>
    </message>
    <message>
        <source>ロケータ、コールサインかプリフィックス、緯度・経度、または角度を入れます。Enter でショートパス、Ctrl+Enter でロングパスへ回します。</source>
        <translation>Type a locator, a callsign or prefix, a latitude and longitude, or an angle. Enter turns the short path, Ctrl+Enter the long path.</translation>
    </message>
    <message>
        <source>ショートパス</source>
        <translation>Short path</translation>
    </message>
    <message>
        <source>短い方の大圏コースへ回します。(Enter)</source>
        <translation>Turns to the short great-circle path. (Enter)</translation>
    </message>
    <message>
        <source>ロングパス</source>
        <translation>Long path</translation>
    </message>
    <message>
        <source>反対側、長い方の大圏コースへ回します。(Ctrl+Enter)</source>
        <translation>Turns to the long great-circle path, the other way round. (Ctrl+Enter)</translation>
    </message>
    <message>
        <source>パーク・プリセット</source>
        <translation>Park and presets</translation>
    </message>
    <message>
        <source>パーク</source>
        <translation>Park</translation>
    </message>
    <message>
        <source>局の位置</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>局のロケータ（4〜10文字）または緯度, 経度（北・東がプラス）。空欄で未設定に戻します。</source>
        <translation>The station&apos;s locator (4 to 10 characters) or latitude, longitude (north and east positive). Empty unsets it.</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>局の位置を AZIVEX.INI に保存します。</source>
        <translation>Saves the station in AZIVEX.INI.</translation>
    </message>
    <message>
        <source>地図画像の大きさ（ピクセル）</source>
        <translation>Size of the map picture (pixels)</translation>
    </message>
    <message>
        <source>局の地図を作成</source>
        <translation>Draw station maps</translation>
    </message>
    <message>
        <source>局を中心にした地図を画像４（world4.bmp）と画像５（world5.bmp）に描き、画像４を選びます。</source>
        <translation>Draws maps centred on the station as picture 4 (world4.bmp) and picture 5 (world5.bmp), and shows picture 4.</translation>
    </message>
    <message>
        <source>%1 を置き換えますか？</source>
        <translation>Replace %1?</translation>
    </message>
    <message>
        <source>、</source>
        <comment>between file names</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>局の地図を描いています...</source>
        <translation>Drawing the station maps...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>地図を作成できませんでした: %1</source>
        <translation>The maps could not be drawn: %1</translation>
    </message>
    <message>
        <source>目標を入れてください</source>
        <translation>Type a target</translation>
    </message>
    <message>
        <source>「%1」はわかりません</source>
        <translation>“%1” is not known</translation>
    </message>
    <message>
        <source>回せません: 目標がありません</source>
        <translation>Cannot turn: no target</translation>
    </message>
    <message>
        <source>回せません: コントローラが受け付けません</source>
        <translation>Cannot turn: the controller does not accept it</translation>
    </message>
    <message>
        <source>方位はこの局から: %1</source>
        <translation>Bearings from this station: %1</translation>
    </message>
    <message>
        <source>局が未設定です。方位は標準画像の中心（35.68N 139.77E、東京）から計算しています。</source>
        <translation>No station set. Bearings are from the standard pictures&apos; centre (35.68N 139.77E, Tokyo).</translation>
    </message>
    <message>
        <source>パーク位置 %1° へ回します。</source>
        <translation>Turns to the park position, %1°.</translation>
    </message>
    <message>
        <source>パーク位置は AZIVEX.INI の [aim] park= で設定します。</source>
        <translation>Set the park position with [aim] park= in AZIVEX.INI.</translation>
    </message>
    <message>
        <source>「%1」は局の位置になりません</source>
        <translation>“%1” is not a station position</translation>
    </message>
    <message>
        <source>%1 へショートパスで回します。</source>
        <translation>Turns the short path to %1.</translation>
    </message>
    <message>
        <source>位置がわかりません</source>
        <translation>Position unknown</translation>
    </message>
    <message>
        <source>（WSJT-X の自局グリッドから）</source>
        <translation> (from the WSJT-X DE grid)</translation>
    </message>
    <message>
        <source>国別ファイル（cty.dat）を読み込んでいます...</source>
        <translation>Loading the country file (cty.dat)...</translation>
    </message>
    <message>
        <source>回せません: 回転範囲 %1 の外です</source>
        <translation>Cannot turn: outside the rotation range %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>作業フォルダ %1 を用意できませんでした</source>
        <translation>The working folder %1 could not be prepared</translation>
    </message>
</context>
</TS>
