/* Обновление для проверки отката: начинает менять базу версии 6 и останавливается на ошибке
   посередине. Всё, что выполнено до ошибки, уже подтверждено в базе; откат должен вернуть
   файл базы из резервной копии. */

SET NAMES WIN1251;
SET SQL DIALECT 3;
SET AUTODDL ON;

execute procedure Check_Versio(7);
commit;
reconnect;

CREATE TABLE WAREHOUSE_CELLS (
  ID D_ID,
  NAME D_NAME NOT NULL,
  CONSTRAINT PK_WAREHOUSE_CELLS PRIMARY KEY (ID)
);
ALTER TABLE GOODS ADD WEIGHT NUMERIC(12,3);
commit;

INSERT INTO WAREHOUSE_CELLS (ID, NAME) VALUES (1, 'Стеллаж А, полка 1');
UPDATE GOODS SET WEIGHT = 1.000 WHERE ID = 1;
commit;

/* Ошибка посередине: такой таблицы нет */
INSERT INTO STORAGE_PLACES (ID, NAME) VALUES (1, 'Не будет вставлено');

UPDATE VERSIO SET VERSIO_NO = 7, APPLIED_AT = CURRENT_TIMESTAMP;
commit;
